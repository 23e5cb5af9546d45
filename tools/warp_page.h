// The palette's Warp page: live warp brushes (push, bloat, pucker, twirls, reconstruct, smooth,
// freeze and thaw) bound to the tables of warp/warp_brush.h. Each dab changes the one field of
// the program's warp session and repaints only the part of the view it touched; the release
// commits the stroke as one history step, resampled once from the session's base. The Amount
// slider shows the whole field stronger or weaker. The page reaches the rest of the program
// through app/picture_editing.h only.
#pragma once

#include <QElapsedTimer>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <array>

#include "warp/warp_brush.h"
#include "workarea/picture_tool.h"

class QCheckBox;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;

class WarpPage : public QWidget, public PictureTool {
    Q_OBJECT
public:
    explicit WarpPage(QWidget* parent = nullptr);

    void enter();
    void leave();

    warp::Brush brush() const { return brush_; }
    QToolButton* brushButton(warp::Brush brush) const {
        return buttons_[static_cast<size_t>(brush)];
    }
    QSlider* parameterSlider(warp::BrushParameter parameter) const {
        return sliders_[static_cast<size_t>(parameter)];
    }
    QCheckBox* pressureSizeBox() const { return pressureSize_; }
    QCheckBox* pressureStrengthBox() const { return pressureStrength_; }
    // The time the last dab took, field and repaint, in milliseconds.
    double lastDabMilliseconds() const { return lastDab_; }

    void picturePress(QPointF at) override;
    void pictureDrag(QPointF at) override;
    void pictureRelease(QPointF at) override;
    void pictureHover(QPointF at) override;

private:
    QSlider* addSliderRow(class QGridLayout* grid, int row, const warp::BrushParameterInfo& info);
    void chooseBrush(warp::Brush brush);
    // The dab of the page's brush and sliders at `at` (a push from `from`), pressure and Alt
    // taken into account.
    warp::Dab dabAt(QPointF at, QPointF from) const;
    void dab(QPointF at, QPointF from);
    void dabAlong(QPointF to);
    void showPreview();
    void commitStroke();
    void amountChanged();
    void commitAmount();
    void pictureReplaced();

    warp::Brush brush_ = warp::Brush::Push;
    std::array<QToolButton*, warp::kBrushCount> buttons_{};
    std::array<QSlider*, 4> sliders_{};
    QCheckBox* pressureSize_ = nullptr;
    QCheckBox* pressureStrength_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* holdTimer_ = nullptr;    // dabs again while the button is held still
    QTimer* amountTimer_ = nullptr;  // commits the amount once the slider rests

    bool active_ = false;
    bool connected_ = false;
    bool stroking_ = false;
    bool amountPending_ = false;
    bool committing_ = false;
    QPointF last_;
    QRect stroke_;  // picture pixels the stroke changed
    double lastDab_ = 0;
    QElapsedTimer dabClock_;
};
