#include "tools/slider_row.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>

QSlider* addSliderRow(QGridLayout* grid, QWidget* parent, int row, const QString& label,
                      const SliderRange& range, const QString& unit, const QString& widestValue) {
    auto* caption = new QLabel(label, parent);
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(range.minimum, range.maximum);
    bar->setValue(range.initial);
    bar->setPageStep(range.pageStep);
    bar->setAccessibleName(label);
    auto* value = new QLabel(QString::number(range.initial) + unit, parent);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(widestValue));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setBuddy(bar);
    grid->addWidget(caption, row, 0);
    grid->addWidget(bar, row, 1);
    grid->addWidget(value, row, 2);
    QObject::connect(bar, &QSlider::valueChanged, value,
                     [value, unit](int v) { value->setText(QString::number(v) + unit); });
    return bar;
}
