// A row of a parameter page: caption, slider and its value with a unit, in three columns of
// a grid. The caption is the slider's buddy, so its mnemonic reaches it from the keyboard.
#pragma once

#include <QString>

class QGridLayout;
class QSlider;
class QWidget;

struct SliderRange {
    int minimum;
    int maximum;
    int initial;
    int pageStep;
};

QSlider* addSliderRow(QGridLayout* grid, QWidget* parent, int row, const QString& label,
                      const SliderRange& range, const QString& unit, const QString& widestValue);
