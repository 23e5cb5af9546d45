// The frames of the disc effects: radius and strength from the palette's sliders
// and the zoom, the pixel work in effects/, the progress bar, the repaint.
#include "effects/bilinear_sampler.h"
#include "effects/progress.h"
#include "effects/spherical.h"
#include "effects/stretch.h"
#include "effects/twirl.h"
#include "tools/tool_palette.h"
#include "workarea/palette_progress.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

// Runs one disc effect centred on picture pixel (X, Y). A strength of 0 (a tiny
// slider position at a high zoom) cannot shape a sphere: the picture stays as it
// is, silently, since a held button would otherwise report it every second.
template <typename DiscEffect>
void runDiscEffect(PictureControl* image, DiscEffect effect, const QSlider* radiusBar,
                   const QSlider* strengthBar, int X, int Y) {
    if (ZoomPercent <= 0) {
        refreshZoomPercent();
    }
    EffectRadius = screenToPicture(radiusBar->value());
    EffectStrength = screenToPicture(strengthBar->value());
    if (EffectStrength < 1 || !image->hasPicture()) {
        return;
    }
    QProgressBar* bar = Tools->ProgressBar1;
    PaletteProgress progress(bar);
    effect(image->editablePicture(), X, Y, EffectRadius, EffectStrength, progress);
    image->update();
    finishProgress(bar);
}

}  // namespace

void TWork_area::SphericalStretch(int X, int Y) {
    switch (DistortKind) {
        case kExpand:
            Sphericalpengzhang(X, Y);
            break;
        case kShrink:
            Sphericalshousuo(X, Y);
            break;
        case kTwirlClockwise:
            Sphericalyouxuan(X, Y);
            break;
        case kTwirlAnticlockwise:
            Sphericalzuoxuan(X, Y);
            break;
        default:
            break;
    }
}

void TWork_area::VerticalStretch(int X, int Y) {
    if (DistortKind == kExpand) {
        Verticalpengzhang(X, Y);
    } else if (DistortKind == kShrink) {
        Verticalshousuo(X, Y);
    }
}

void TWork_area::HorizontalStretch(int X, int Y) {
    if (DistortKind == kExpand) {
        Horizontalpengzhang(X, Y);
    } else if (DistortKind == kShrink) {
        Horizontalshousuo(X, Y);
    }
}

void TWork_area::Sphericalpengzhang(int X, int Y) {
    runDiscEffect(Image1, &effects::bulge, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

void TWork_area::Sphericalshousuo(int X, int Y) {
    runDiscEffect(Image1, &effects::pinch, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

void TWork_area::Sphericalyouxuan(int X, int Y) {
    runDiscEffect(Image1, &effects::twirlClockwise, Tools->TrackBar3, Tools->TrackBar4, X, Y);
}

void TWork_area::Sphericalzuoxuan(int X, int Y) {
    runDiscEffect(Image1, &effects::twirlAnticlockwise, Tools->TrackBar3, Tools->TrackBar4, X, Y);
}

// A stretch whose rim cannot be computed (strength equal to the radius) reports it
// by leaving the picture as it is; a held button simply keeps trying.
void TWork_area::Verticalpengzhang(int X, int Y) {
    runDiscEffect(Image1, &effects::stretchVertical, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

void TWork_area::Verticalshousuo(int X, int Y) {
    runDiscEffect(Image1, &effects::squeezeVertical, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

void TWork_area::Horizontalpengzhang(int X, int Y) {
    runDiscEffect(Image1, &effects::stretchHorizontal, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

void TWork_area::Horizontalshousuo(int X, int Y) {
    runDiscEffect(Image1, &effects::squeezeHorizontal, Tools->TrackBar1, Tools->TrackBar2, X, Y);
}

uint32_t TWork_area::xiangsujuhe(double& x, double& y, const QImage& source) const {
    return effects::sampleBilinear(x, y, source);
}
