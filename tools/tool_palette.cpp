#include "tools/tool_palette.h"

#include <QApplication>
#include <QColorDialog>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/picture_editing.h"
#include "app/shared_state.h"
#include "tools/colour_panel.h"
#include "tools/compact_tabs.h"
#include "tools/face_page.h"
#include "tools/warp_page.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr const char* kClickHint = "Click or Keep Down";
constexpr const char* kSmudgeHint = "Keep Down and move";

// Nearest integer, halves to the even neighbour.
int rnd(long double value) {
    return static_cast<int>(std::nearbyint(value));
}

// The picture window may be missing while the program starts or ends.
PictureControl* pictureControl() {
    return Work_area != nullptr ? Work_area->Image1 : nullptr;
}

using editing::setPictureCursor;
using editing::setPictureHint;

void restoreToolCursor() {
    if (Work_area != nullptr) {
        Work_area->setsigncursor();
    }
}

std::optional<QColor> askForColour(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen;
}

}  // namespace

TTools::TTools(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle("Tools");
    QFont font = this->font();
    if (QFontDatabase::hasFamily("MS Sans Serif")) {
        font.setFamily("MS Sans Serif");
    }
    font.setPixelSize(11);
    setFont(font);

    TabbedNotebook1 = new QTabWidget(this);
    TabbedNotebook1->addTab(buildDistortPage(), "Distort");
    TabbedNotebook1->addTab(buildTwistPage(), "Twist");
    TabbedNotebook1->addTab(buildSketchPage(), "Sketch");
    TabbedNotebook1->addTab(buildSignPage(), "Sign");

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 500);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    facePage = new FacePage(ProgressBar1);
    TabbedNotebook1->addTab(facePage, "Face");
    warpPage = new WarpPage;
    TabbedNotebook1->addTab(warpPage, "Warp");

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(TabbedNotebook1, 1);
    layout->addWidget(ProgressBar1);
    layout->addWidget(buildRecorderPanel());

    chooseColour = [this](const QColor& initial) { return askForColour(this, initial); };
    showMessage = [this](const QString& text) {
        QMessageBox::information(this, QApplication::applicationName(), text);
    };
    SaveDialog1 = [this] { return showExportDialog(); };

    resize(241, 506);
    // The Face and Warp pages beside the four make six tabs in the palette's width.
    fitTabsInWidth(TabbedNotebook1->tabBar(), width() - 2 * layout->contentsMargins().left() - 4);
    move(629, 90);
    // Connected last, so building the controls runs no handler.
    connectHandlers();
}

void TTools::connectHandlers() {
    const auto on = [this](auto* sender, auto signal, void (TTools::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    connect(TabbedNotebook1, &QTabWidget::currentChanged, this,
            [this](int page) { guarded([&] { TabbedNotebook1Change(page); }); });
    on(TrackBar1, &QSlider::valueChanged, &TTools::TrackBar1Change);
    on(TrackBar2, &QSlider::valueChanged, &TTools::TrackBar2Change);
    on(TrackBar3, &QSlider::valueChanged, &TTools::TrackBar3Change);
    on(TrackBar4, &QSlider::valueChanged, &TTools::TrackBar4Change);
    on(TrackBar5, &QSlider::valueChanged, &TTools::TrackBar5Change);
    on(TrackBar6, &QSlider::valueChanged, &TTools::TrackBar6Change);
    on(TrackBar7, &QSlider::valueChanged, &TTools::TrackBar7Change);
    on(RadioButton1, &QRadioButton::clicked, &TTools::RadioButton1Click);
    on(RadioButton2, &QRadioButton::clicked, &TTools::RadioButton2Click);
    on(RadioButton3, &QRadioButton::clicked, &TTools::RadioButton3Click);
    on(SpeedButton1, &QToolButton::clicked, &TTools::SpeedButton1Click);
    on(SpeedButton2, &QToolButton::clicked, &TTools::SpeedButton2Click);
    on(SpeedButton3, &QToolButton::clicked, &TTools::SpeedButton3Click);
    on(SpeedButton11, &QToolButton::clicked, &TTools::SpeedButton11Click);
    on(SpeedButton12, &QToolButton::clicked, &TTools::SpeedButton12Click);
    on(SpeedButton13, &QToolButton::clicked, &TTools::SpeedButton13Click);
    on(SpeedButton14, &QToolButton::clicked, &TTools::SpeedButton14Click);
    on(SpeedButton15, &QToolButton::clicked, &TTools::SpeedButton15Click);
    on(Button1, &QPushButton::clicked, &TTools::Button1Click);
    on(colourPanel_, &ColourPanel::clicked, &TTools::Panel2Click);
    on(SpeedButton8, &QToolButton::clicked, &TTools::SpeedButton8Click);
    on(SpeedButton9, &QToolButton::clicked, &TTools::SpeedButton9Click);
    on(SpeedButton5, &QToolButton::clicked, &TTools::SpeedButton5Click);
    on(SpeedButton6, &QToolButton::clicked, &TTools::SpeedButton6Click);
    on(SpeedButton7, &QToolButton::clicked, &TTools::SpeedButton7Click);
    on(SpeedButton4, &QToolButton::clicked, &TTools::SpeedButton4Click);
    on(Timer1, &QTimer::timeout, &TTools::Timer1Timer);
}

QColor TTools::signColour() const {
    return colourPanel_->colour();
}

void TTools::TabbedNotebook1Change(int newPage) {
    // A line or stroke dragged while the page changes ends here, not at a release that
    // the new page would read as one of its own tools.
    if (newPage != kSignPage && Work_area != nullptr) {
        Work_area->endSignDrag();
    }
    if (shownPage_ == kFacePage && newPage != kFacePage) {
        facePage->leave();
    }
    if (shownPage_ == kWarpPage && newPage != kWarpPage) {
        warpPage->leave();
    }
    shownPage_ = newPage;
    switch (newPage) {
        case kDistortPage:
            DistortMode = kSpherical;
            SmudgeMode = 0;
            DistortKind = kExpand;
            BrushRadius = TrackBar1->value();
            SpeedButton1->setChecked(true);
            RadioButton1->setChecked(true);
            ProgressBar1->setMaximum(4 * TrackBar1->value());
            setPictureHint(kClickHint);
            refreshZoomPercent();
            restoreToolCursor();
            break;
        case kTwistPage:
            DistortMode = kSpherical;
            SmudgeMode = 0;
            DistortKind = kTwirlClockwise;
            BrushRadius = TrackBar3->value();
            SpeedButton11->setChecked(true);
            ProgressBar1->setMaximum(4 * TrackBar3->value());
            setStrengthBarShown(true);
            setPictureHint(kClickHint);
            refreshZoomPercent();
            restoreToolCursor();
            break;
        case kSketchPage:
            DistortMode = kNoDistortion;
            if (Work_area != nullptr) {
                Work_area->picsobel();
            }
            setPictureHint(QString());
            setPictureCursor(Qt::ArrowCursor);
            break;
        case kSignPage:
            DistortMode = kNoDistortion;
            setPictureCursor(Qt::CrossCursor);
            SignTool = kLineTool;
            PenWidth = 3;  // the thickness bar keeps its position until moved
            SpeedButton14->setChecked(true);
            setPictureHint(QString());
            restoreToolCursor();
            break;
        case kFacePage:
        case kWarpPage:
            // The pages beside the four take the picture's mouse through their own tools.
            DistortMode = kNoDistortion;
            if (Work_area != nullptr) {
                Work_area->RemoveTheBrush();
            }
            if (newPage == kFacePage) {
                facePage->enter();
            } else {
                warpPage->enter();
            }
            break;
        default:
            break;
    }
}

void TTools::applyRadius(int radius, QLabel* valueLabel, TrackBar* strength, long double maxDivisor,
                         long double minDivisor, long double positionDivisor) {
    valueLabel->setText(QString::number(radius));
    // Maximum first, then minimum, then position: a bound that would cross the
    // other one is dropped, so the order decides the resulting range.
    strength->setMaxKeepingOrder(rnd(radius / maxDivisor));
    strength->setMinKeepingOrder(rnd(radius / minDivisor));
    strength->setPosition(rnd(radius / positionDivisor));
    BrushRadius = radius;
    setProgressMaximumForRadius(radius);
}

void TTools::setProgressMaximumForRadius(int radius) {
    refreshZoomPercent();
    // Without a zoom there is nothing to scale by; the maximum stays as it was.
    if (ZoomPercent <= 0) {
        return;
    }
    // A small radius at a high zoom rounds to no picture pixel; a maximum of 0 would turn the
    // bar into a "busy" animation, so it keeps at least one step.
    ProgressBar1->setMaximum(
        std::max(1, 4 * rnd(static_cast<long double>(radius) / ZoomPercent * 100.0L)));
}

void TTools::setStrengthBarShown(bool shown) {
    TrackBar4->setVisible(shown);
    Label14->setVisible(shown);
    Label7->setVisible(shown);
}

void TTools::TrackBar1Change() {
    applyRadius(TrackBar1->value(), Label2, TrackBar2, 1.5L, 10, 3);
}
void TTools::TrackBar3Change() {
    applyRadius(TrackBar3->value(), Label6, TrackBar4, 3, 50, 10);
}
void TTools::TrackBar2Change() {
    Label5->setText(QString::number(TrackBar2->value()));
}
void TTools::TrackBar4Change() {
    Label7->setText(QString::number(TrackBar4->value()));
}
void TTools::TrackBar5Change() {
    Label9->setText(QString::number(TrackBar5->value()));
}

void TTools::TrackBar6Change() {
    PenWidth = TrackBar6->value();
    Label10->setText(QString::number(PenWidth));
}

// The contrast in percent of the bar's full travel.
void TTools::TrackBar7Change() {
    Label11->setText(QString::number(rnd(TrackBar7->value() * 100.0L / 89)));
}

void TTools::RadioButton1Click() {
    DistortMode = kSpherical;
}
void TTools::RadioButton2Click() {
    DistortMode = kVertical;
}
void TTools::RadioButton3Click() {
    DistortMode = kHorizontal;
}

void TTools::SpeedButton1Click() {
    DistortKind = kExpand;
    restoreToolCursor();
    setPictureHint(kClickHint);
}

void TTools::SpeedButton2Click() {
    DistortKind = kShrink;
    restoreToolCursor();
    setPictureHint(kClickHint);
}

void TTools::SpeedButton11Click() {
    DistortKind = kTwirlClockwise;
    SmudgeMode = 0;
    restoreToolCursor();
    setPictureHint(kClickHint);
    setStrengthBarShown(true);
}

void TTools::SpeedButton12Click() {
    DistortKind = kTwirlAnticlockwise;
    SmudgeMode = 0;
    restoreToolCursor();
    setPictureHint(kClickHint);
    setStrengthBarShown(true);
}

// The smudge has no strength; its radius starts at 50.
void TTools::SpeedButton3Click() {
    SmudgeMode = 1;
    DistortKind = kSmudge;
    restoreToolCursor();
    setPictureHint(kSmudgeHint);
    TrackBar4->hide();
    TrackBar3->setPosition(50);
    Label14->hide();
    Label7->hide();
}

void TTools::SpeedButton14Click() {
    SignTool = kLineTool;
    restoreToolCursor();
}

void TTools::SpeedButton15Click() {
    SignTool = kPenTool;
    restoreToolCursor();
}

void TTools::SpeedButton13Click() {
    SignTool = kTextTool;
    restoreToolCursor();
}

void TTools::Button1Click() {
    if (PictureControl* image = pictureControl(); image != nullptr && image->hasPicture()) {
        Work_area->WaveWrap(2, 6, 2);
    } else {
        showMessage("Please input a picture");
    }
}

// The text sign's colour follows the panel even when the dialog is cancelled.
void TTools::Panel2Click() {
    if (const std::optional<QColor> chosen = chooseColour(signColour())) {
        colourPanel_->setColour(*chosen);
    }
    if (Work_area != nullptr && Work_area->Memo1 != nullptr) {
        QPalette text = Work_area->Memo1->palette();
        text.setColor(QPalette::Text, signColour());
        Work_area->Memo1->setPalette(text);
    }
}

// Both OKs render the edge image kept when the page was chosen and record the rendering as a
// step; without an edge image (there was no picture) there is nothing to render or record.
void TTools::renderSketch(void (TWork_area::*render)(int), int value) {
    if (Work_area == nullptr || SketchBitmap.isNull()) {
        return;
    }
    (Work_area->*render)(value);
    if (Form1 != nullptr) {
        Form1->backup();
    }
}

void TTools::SpeedButton8Click() {
    renderSketch(&TWork_area::twovalue, TrackBar5->value());
}

void TTools::SpeedButton9Click() {
    renderSketch(&TWork_area::pencilContrast, TrackBar7->value());
}
