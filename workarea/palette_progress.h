// The palette's progress bar as the effects' Progress.
#pragma once

#include <QProgressBar>
#include <algorithm>

#include "effects/progress.h"

// Advances the bar one step per outer step of an effect, stopping at its maximum.
class PaletteProgress final : public effects::Progress {
public:
    explicit PaletteProgress(QProgressBar* bar) : bar_(bar) {}
    void advance() override {
        const int now = std::max(bar_->value(), bar_->minimum());
        bar_->setValue(std::min(now + 1, bar_->maximum()));
    }

private:
    QProgressBar* bar_;
};

// Advances the bar one step per row and starts it again at 0 each time it reaches its
// maximum, so a picture taller than the bar's range keeps it moving.
class CyclingPaletteProgress final : public effects::Progress {
public:
    explicit CyclingPaletteProgress(QProgressBar* bar) : bar_(bar) {}
    void advance() override {
        const int next = std::max(bar_->value(), bar_->minimum()) + 1;
        bar_->setValue(next >= bar_->maximum() ? 0 : next);
    }

private:
    QProgressBar* bar_;
};

// The bar after an effect: full for a moment, then empty.
inline void finishProgress(QProgressBar* bar) {
    bar->setValue(bar->maximum());
    bar->setValue(0);
}
