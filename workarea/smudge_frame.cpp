// The frame of the smudge: the stroke from the press point to the release, the effect
// radius from the Twist page's radius bar and the zoom, the progress bar per case.
#include <vector>

#include "effects/smudge.h"
#include "tools/tool_palette.h"
#include "workarea/palette_progress.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

// Moves the palette's bar one step per column and back to 0 after each case's last column.
class SmudgeProgress final : public effects::Progress {
public:
    SmudgeProgress(QProgressBar* bar, const std::vector<effects::SmudgeStroke>& plan)
        : bar_(bar), steps_(bar) {
        for (const effects::SmudgeStroke& stroke : plan) {
            if (stroke.columns() > 0) {
                caseEnds_.push_back(stroke.columns());
            }
        }
    }
    void advance() override {
        steps_.advance();
        if (next_ < caseEnds_.size() && ++done_ == caseEnds_[next_]) {
            bar_->setValue(0);
            done_ = 0;
            ++next_;
        }
    }

private:
    QProgressBar* bar_;
    PaletteProgress steps_;
    std::vector<int64_t> caseEnds_;
    size_t next_ = 0;
    int64_t done_ = 0;
};

}  // namespace

// The stroke runs from ClickPoint, set by the press, to the release point (X, Y) on Image1.
// The history step is the release handler's.
void TWork_area::tumopic(int X, int Y) {
    if (ZoomPercent <= 0) {
        refreshZoomPercent();
    }
    const int radius = screenToPicture(Tools->TrackBar3->value());
    BrushRadius = Tools->TrackBar3->value();
    if (!Image1->hasPicture()) {
        return;
    }
    const int releaseX = screenToPicture(X);
    const int releaseY = screenToPicture(Y);
    const std::vector<effects::SmudgeStroke> plan =
        effects::planSmudge(ClickPoint.x, ClickPoint.y, releaseX, releaseY, radius);
    SmudgeProgress progress(Tools->ProgressBar1, plan);
    QImage picture = Image1->picture();
    effects::smudge(picture, ClickPoint.x, ClickPoint.y, releaseX, releaseY, radius, progress);
    Image1->setPicture(std::move(picture));
}
