// The frame of the wave: the whole picture rippled in one step, recorded in the history.
#include "app/main_window.h"
#include "effects/wave.h"
#include "tools/tool_palette.h"
#include "workarea/palette_progress.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

void TWork_area::WaveWrap(int a, int b, int c) {
    if (!Image1->hasPicture()) {
        return;
    }
    QProgressBar* bar = Tools->ProgressBar1;
    CyclingPaletteProgress progress(bar);
    QImage picture = Image1->picture();
    if (!effects::wave(picture, a, b, c, progress)) {
        return;  // a or b is 0: nothing to lay, nothing to record
    }
    Image1->setPicture(std::move(picture));
    Form1->backup();
    finishProgress(bar);
}
