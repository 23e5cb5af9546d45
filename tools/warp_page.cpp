#include "tools/warp_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/handler_guard.h"
#include "app/picture_editing.h"
#include "tools/slider_row.h"
#include "warp/warp_session.h"

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// Held still, the growing brushes dab about 25 times a second.
constexpr int kHoldInterval = 40;
constexpr int kAmountRest = 400;  // ms without a change before the amount is stored

bool changesPixels(warp::Brush brush) {
    return brush != warp::Brush::Freeze && brush != warp::Brush::Thaw;
}

}  // namespace

WarpPage::WarpPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* brushes = new QGridLayout;
    brushes->setSpacing(2);
    auto* group = new QButtonGroup(this);
    for (const warp::BrushInfo& info : warp::brushTable()) {
        auto* button = new QToolButton(this);
        button->setText(text(info.label));
        button->setToolTip(text(info.label));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(button);
        const auto index = static_cast<int>(info.id);
        brushes->addWidget(button, index / 2, index % 2);
        buttons_[static_cast<size_t>(index)] = button;
        connect(button, &QToolButton::clicked, this,
                [this, id = info.id] { guarded([&] { chooseBrush(id); }); });
    }
    buttons_[0]->setChecked(true);
    layout->addLayout(brushes);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    int row = 0;
    for (const warp::BrushParameterInfo& info : warp::brushParameterTable()) {
        if (info.id == warp::BrushParameter::Amount) {
            continue;
        }
        sliders_[static_cast<size_t>(info.id)] = addSliderRow(grid, row++, info);
    }
    layout->addLayout(grid);
    pressureSize_ = new QCheckBox("Pen pressure sets the si&ze", this);
    pressureStrength_ = new QCheckBox("Pen pressure sets the stren&gth", this);
    pressureStrength_->setChecked(true);
    layout->addWidget(pressureSize_);
    layout->addWidget(pressureStrength_);

    auto* amountGrid = new QGridLayout;
    amountGrid->setHorizontalSpacing(4);
    const warp::BrushParameterInfo& amount = warp::brushParameter(warp::BrushParameter::Amount);
    sliders_[static_cast<size_t>(amount.id)] = addSliderRow(amountGrid, 0, amount);
    sliders_[static_cast<size_t>(amount.id)]->setToolTip(
        "The whole warp of the page, weaker or stronger");
    layout->addLayout(amountGrid);

    status_ = new QLabel("Hold Alt to reconstruct with any brush.", this);
    status_->setWordWrap(true);
    layout->addWidget(status_);
    layout->addStretch();

    holdTimer_ = new QTimer(this);
    holdTimer_->setInterval(kHoldInterval);
    connect(holdTimer_, &QTimer::timeout, this, [this] {
        guarded([&] {
            if (stroking_) {
                dab(last_, last_);
            }
        });
    });
    amountTimer_ = new QTimer(this);
    amountTimer_->setSingleShot(true);
    amountTimer_->setInterval(kAmountRest);
    connect(amountTimer_, &QTimer::timeout, this, [this] { guarded([&] { commitAmount(); }); });
    QSlider* amountSlider = sliders_[static_cast<size_t>(amount.id)];
    connect(amountSlider, &QSlider::valueChanged, this,
            [this] { guarded([&] { amountChanged(); }); });
    connect(amountSlider, &QSlider::sliderReleased, this,
            [this] { guarded([&] { commitAmount(); }); });
}

QSlider* WarpPage::addSliderRow(QGridLayout* grid, int row, const warp::BrushParameterInfo& info) {
    return ::addSliderRow(
        grid, this, row, text(info.label),
        {info.minimum, info.maximum, info.initial, std::max(1, (info.maximum - info.minimum) / 20)},
        text(info.unit), "1500 %");
}

void WarpPage::enter() {
    active_ = true;
    if (!connected_) {
        connected_ = static_cast<bool>(
            editing::whenPictureReplaced(this, [this] { guarded([&] { pictureReplaced(); }); }));
    }
    editing::setPictureTool(this);
    editing::setPictureHint(QString());
    editing::setPictureCursor(Qt::CrossCursor);
    const warp::WarpSession& session = editing::warpSession();
    QSlider* amount = parameterSlider(warp::BrushParameter::Amount);
    const QSignalBlocker quiet(amount);
    amount->setValue(static_cast<int>(std::lround(session.amount() * 100)));
    showPreview();
}

void WarpPage::leave() {
    if (!active_) {
        return;
    }
    if (stroking_) {
        commitStroke();
    }
    commitAmount();
    active_ = false;
    holdTimer_->stop();
    editing::hideBrush();
    editing::dropPreview();
    editing::setPictureTool(nullptr);
}

void WarpPage::chooseBrush(warp::Brush brush) {
    brush_ = brush;
    buttons_[static_cast<size_t>(brush)]->setChecked(true);
}

// The preview shows the session's base through its field over everything the field touched,
// with the freeze mask tinted; outside it the picture is the base through the field already.
void WarpPage::showPreview() {
    if (editing::currentPicture().isNull()) {
        return;
    }
    const warp::WarpSession& session = editing::warpSession();
    editing::showPreview({session.field().touched(), [](const QRect& shown, double zoom) {
                              return editing::warpSession().view(shown, zoom, true);
                          }});
}

warp::Dab WarpPage::dabAt(QPointF at, QPointF from) const {
    const bool reconstruct = editing::pointerModifiers().testFlag(Qt::AltModifier);
    const double pressure = editing::pointerPressure();
    warp::Dab dab;
    dab.brush = reconstruct ? warp::Brush::Reconstruct : brush_;
    dab.at = at;
    dab.from = from;
    dab.radius = parameterSlider(warp::BrushParameter::Size)->value() *
                 (pressureSize_->isChecked() ? pressure : 1.0);
    dab.strength = parameterSlider(warp::BrushParameter::Strength)->value() *
                   (pressureStrength_->isChecked() ? pressure : 1.0);
    dab.hardness = parameterSlider(warp::BrushParameter::Hardness)->value();
    return dab;
}

void WarpPage::dab(QPointF at, QPointF from) {
    dabClock_.start();
    warp::WarpSession& session = editing::warpSession();
    const warp::Dab one = dabAt(at, from);
    const QRect changed = warp::applyDab(session.field(), one);
    if (changed.isEmpty()) {
        return;
    }
    if (changesPixels(one.brush)) {
        stroke_ = stroke_.united(changed);
    }
    editing::extendPreview(changed);
    lastDab_ = dabClock_.nsecsElapsed() / 1e6;
}

// Dabs a tenth of the radius apart from the last point to `to`, so a fast drag leaves no gaps.
void WarpPage::dabAlong(QPointF to) {
    const double radius = std::max(1, parameterSlider(warp::BrushParameter::Size)->value());
    const double spacing = std::max(0.5, radius / 10);
    const QPointF step = to - last_;
    const int count = static_cast<int>(std::ceil(std::hypot(step.x(), step.y()) / spacing));
    QPointF previous = last_;
    for (int k = 1; k <= count; ++k) {
        const QPointF next = last_ + step * (static_cast<double>(k) / count);
        dab(next, previous);
        previous = next;
    }
    last_ = to;
}

void WarpPage::picturePress(QPointF at) {
    if (editing::currentPicture().isNull()) {
        return;
    }
    commitAmount();
    stroking_ = true;
    stroke_ = {};
    last_ = at;
    showPreview();
    // A push only starts here; the others act at once and again while held.
    if (dabAt(at, at).brush != warp::Brush::Push) {
        dab(at, at);
        holdTimer_->start();
    }
    editing::showBrush(at, parameterSlider(warp::BrushParameter::Size)->value());
}

void WarpPage::pictureDrag(QPointF at) {
    if (!stroking_) {
        return;
    }
    dabAlong(at);
    editing::showBrush(at, parameterSlider(warp::BrushParameter::Size)->value());
    status_->setText(QString("Dab: %1 ms. Hold Alt to reconstruct.").arg(lastDab_, 0, 'f', 1));
}

void WarpPage::pictureRelease(QPointF at) {
    if (!stroking_) {
        return;
    }
    dabAlong(at);
    commitStroke();
}

void WarpPage::pictureHover(QPointF at) {
    editing::showBrush(at, parameterSlider(warp::BrushParameter::Size)->value());
}

// The stroke becomes one step: the part it changed resampled at full size from the base.
void WarpPage::commitStroke() {
    stroking_ = false;
    holdTimer_->stop();
    if (stroke_.isEmpty()) {
        return;
    }
    const QRect region = stroke_;
    stroke_ = {};
    committing_ = true;
    editing::commitInPlace(
        [region](QImage& picture) { editing::warpSession().render(picture, region); });
    committing_ = false;
    editing::warpSessionProduced();
    showPreview();
}

void WarpPage::amountChanged() {
    warp::WarpSession& session = editing::warpSession();
    session.setAmount(parameterSlider(warp::BrushParameter::Amount)->value() / 100.0);
    if (session.field().touched().isEmpty()) {
        return;
    }
    amountPending_ = true;
    showPreview();
    amountTimer_->start();
}

void WarpPage::commitAmount() {
    amountTimer_->stop();
    if (!amountPending_) {
        return;
    }
    amountPending_ = false;
    const QRect region = editing::warpSession().field().touched();
    editing::commitInPlace(
        [region](QImage& picture) { editing::warpSession().render(picture, region); });
    editing::warpSessionProduced();
    if (active_) {
        showPreview();
    }
}

// Undo, Redo, Renew, opening: the session starts again from that picture, at full amount.
void WarpPage::pictureReplaced() {
    if (committing_) {
        return;
    }
    stroking_ = false;
    amountPending_ = false;
    holdTimer_->stop();
    amountTimer_->stop();
    QSlider* amount = parameterSlider(warp::BrushParameter::Amount);
    const QSignalBlocker quiet(amount);
    amount->setValue(100);
    if (active_) {
        showPreview();
    }
}
