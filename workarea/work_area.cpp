#include "workarea/work_area.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <functional>

#include "app/error_box.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "formats/picture_file.h"
#include "platform/cursor_confinement.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/picture_tool.h"
#include "workarea/sign_cursors.h"

namespace {

QImage examplePicture() {
    return formats::toPicture24(QImage(":/example.bmp"));
}

// The application-wide wheel hook. It sees every event of the program but touches wheel
// events only; everything else passes on as if it were not there.
class WheelFilter final : public QObject {
public:
    WheelFilter(QObject* parent, std::function<bool(QEvent*)> onWheel)
        : QObject(parent), onWheel_(std::move(onWheel)) {}

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::Wheel) {
            return false;
        }
        bool handled = false;
        guarded([&] { handled = onWheel_(event); });
        return handled;
    }

private:
    std::function<bool(QEvent*)> onWheel_;
};

}  // namespace

TWork_area::TWork_area(QWidget* parent) : QMdiSubWindow(parent) {
    FormCreate();
}

TWork_area::~TWork_area() {
    FormClose();
    // The text box's mouse filter calls back into this window; its widgets go while the
    // window is still whole, not later from QWidget's destructor.
    delete ScrollBox;
    ScrollBox = nullptr;
    Image1 = nullptr;
    Memo1 = nullptr;
}

void TWork_area::FormCreate() {
    setWindowTitle("Work_area");
    setWindowIcon(QApplication::windowIcon());  // a sub-window would show the toolkit's logo
    setGeometry(5, 97, 615, 506);

    ScrollBox = new QScrollArea(this);
    ScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox->setWidgetResizable(false);
    ScrollBox->setBackgroundRole(QPalette::Window);
    setWidget(ScrollBox);

    Image1 = new PictureControl(this, ScrollBox);
    Image1->setPicture(examplePicture());
    Image1->resize(Image1->picture().size());
    Image1->setToolTip("Click or Keep Down");
    ScrollBox->setWidget(Image1);

    createTextSign();

    BandRect = {};
    AntsPhase = 128;
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, [this] { guarded([this] { Timer2Timer(); }); });
    Timer2->start();
    setBeforeBoxHook([this] { endHeldPress(); });
}

void TWork_area::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TWork_area::FormShow() {
    // Scroll-bar actions of the user (not programmatic panning) clear the band.
    for (QScrollBar* bar : {ScrollBox->horizontalScrollBar(), ScrollBox->verticalScrollBar()}) {
        connect(bar, &QScrollBar::actionTriggered, this,
                [this] { guarded([this] { ScrollHookProc(); }); });
    }
    connect(ScrollBox->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { followScroll(); });
    connect(ScrollBox->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { followScroll(); });
    BrushBox = {-200, -200, -200, -200};
    BrushArcStart = {-200, -200};
    EffectRadius = 100;
    BrushRadius = 100;
    MemoMoving = 0;
    MemoSizing = 0;
    wheelHook_ = new WheelFilter(this, [this](QEvent* event) { return AppMessage(event); });
    qApp->installEventFilter(wheelHook_);
    ZoomPercent = 100.0;
}

// Open, Undo and the effects go on working on this window's picture, so closing it would
// leave the user editing a picture nobody sees. It goes down to its title bar at the bottom of
// the main window instead, from where it is restored; FormClose runs when the window goes.
void TWork_area::closeEvent(QCloseEvent* event) {
    if (mdiArea() == nullptr) {
        QMdiSubWindow::closeEvent(event);  // outside a frame there is nothing to minimise into
        return;
    }
    event->ignore();
    showMinimized();
}

void TWork_area::FormClose() {
    setBeforeBoxHook({});
    if (wheelHook_ != nullptr && qApp != nullptr) {
        qApp->removeEventFilter(wheelHook_);
    }
}

bool TWork_area::AppMessage(QEvent* event) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    // Only the vertical wheel zooms; a sideways wheel passes untouched.
    if (MouseOverPicture != 1 || wheel->angleDelta().y() == 0) {
        return false;
    }
    if (wheel->angleDelta().y() > 0) {
        Form1->imgzoomout(Image1, Form1->Label1);
    } else {
        Form1->imgzoomin(Image1, Form1->Label1);
    }
    return true;
}

int TWork_area::paletteIndex() const {
    return Tools != nullptr ? Tools->TabbedNotebook1->currentIndex() : kDistortPage;
}

QPoint TWork_area::clientPoint(int X, int Y) const {
    return {X + Image1->x(), Y + Image1->y()};
}

const QImage& TWork_area::picture() const {
    return Image1->picture();
}

void TWork_area::setPicture(QImage picture) {
    Image1->setPicture(std::move(picture));
}

void TWork_area::fitPictureToZoom() {
    refreshZoomPercent();
    const QImage& p = Image1->picture();
    Image1->resize(static_cast<int>(std::nearbyint(p.width() * ZoomPercent / 100.0)),
                   static_cast<int>(std::nearbyint(p.height() * ZoomPercent / 100.0)));
    Image1->update();
}

void TWork_area::setPictureTool(PictureTool* tool) {
    pictureTool_ = tool;
    toolPress_ = false;
}

QPointF TWork_area::picturePoint(int X, int Y) const {
    refreshZoomPercent();
    const double scale = ZoomPercent > 0 ? 100.0 / ZoomPercent : 1.0;
    return {X * scale, Y * scale};
}

void TWork_area::Image1MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, int X, int Y) {
    const bool leftDown = buttons.testFlag(Qt::LeftButton);
    const bool rightDown = buttons.testFlag(Qt::RightButton);
    if (pictureTool_ != nullptr && button == Qt::LeftButton && SelectMode == 0) {
        toolPress_ = true;
        pictureTool_->picturePress(picturePoint(X, Y));
        return;
    }
    Form1->Action6->setEnabled(false);
    if (leftDown && SelectMode == 1) {
        Form1->Action6->setEnabled(false);
        Form1->SpeedButton11->setEnabled(false);
        const QPoint w = clientPoint(X, Y);
        refreshZoomPercent();
        RemoveTheRect1();
        BandRect = {w.x(), w.y(), w.x(), w.y()};
        platform::LockCursorToRect(QRect(Image1->mapToGlobal(QPoint(0, 0)), Image1->size()));
        return;
    }
    if (rightDown) {
        RemoveTheRect1();
        BandRect = {};
        Form1->SpeedButton11->setEnabled(false);
    }
    refreshZoomPercent();
    ClickPoint = {screenToPicture(X), screenToPicture(Y)};
    if (leftDown && SmudgeMode == 0) {
        Timer1->start();
    }
    ButtonHeld = 1;
    DragOrigin = {X, Y};
    pressPage_ = paletteIndex();
    if (leftDown && pressPage_ == kSignPage) {
        signPress(X, Y);
    }
}

void TWork_area::Image1MouseMove(Qt::MouseButtons buttons, int X, int Y) {
    const bool leftDown = buttons.testFlag(Qt::LeftButton);
    const bool rightDown = buttons.testFlag(Qt::RightButton);
    if (toolPress_ && pictureTool_ != nullptr) {
        if (leftDown) {
            pictureTool_->pictureDrag(picturePoint(X, Y));
        }
        if (!rightDown) {
            return;
        }
    } else if (pictureTool_ != nullptr && !leftDown && !rightDown && SelectMode == 0) {
        pictureTool_->pictureHover(picturePoint(X, Y));
        return;
    }
    if (SelectMode != 0) {
        if (leftDown) {
            refreshZoomPercent();
            const QPoint w = clientPoint(X, Y);
            RemoveTheRect1();
            BandRect.c = w.x();
            BandRect.d = w.y();
            DrawTheRect1();
            const int h = ScrollBox->horizontalScrollBar()->value();
            const int v = ScrollBox->verticalScrollBar()->value();
            SelectionRect.left = screenToPicture(std::min(h + BandRect.a, h + BandRect.c)) + 1;
            SelectionRect.top = screenToPicture(std::min(v + BandRect.b, v + BandRect.d)) + 1;
            SelectionRect.right = screenToPicture(std::max(h + BandRect.a, h + BandRect.c)) - 1;
            SelectionRect.bottom = screenToPicture(std::max(v + BandRect.b, v + BandRect.d)) - 1;
            // A drag that leaves the picture selects up to its edge; a zone without pixels
            // can be neither cut nor copied.
            const QImage& p = picture();
            SelectionRect = zoneInPicture(SelectionRect, p.width(), p.height());
            if ((BandRect.c != BandRect.a || BandRect.d != BandRect.b) &&
                zoneHasPixels(SelectionRect)) {
                Form1->Action6->setEnabled(true);
                Form1->SpeedButton11->setEnabled(true);
            }
        }
        if (rightDown && ButtonHeld == 1) {
            RemoveTheRect1();
            pan(X, Y);
        }
        return;
    }
    RemoveTheBrush();
    if (rightDown && ButtonHeld == 1) {
        pan(X, Y);
    }
    const int page = paletteIndex();
    if (page == kDistortPage || page == kTwistPage) {
        RemoveTheBrush();
        if (2 < X && X < Image1->width() - 2 && 2 < Y && Y < Image1->height() - 2) {
            const QPoint w = clientPoint(X, Y);
            const int r = BrushRadius;
            BrushBox = {w.x() - r, w.y() - r, w.x() + r, w.y() + r};
            BrushArcStart = {w.x() - r, w.y() + r};
            DrawTheBrush();
        } else {
            RemoveTheBrush();
        }
    }
    if (leftDown && page == kSignPage) {
        signMove(X, Y);
    }
}

void TWork_area::pan(int X, int Y) {
    QScrollBar* h = ScrollBox->horizontalScrollBar();
    QScrollBar* v = ScrollBox->verticalScrollBar();
    h->setValue(h->value() + (DragOrigin.x - X));
    v->setValue(v->value() + (DragOrigin.y - Y));
}

void TWork_area::Image1MouseUp(Qt::MouseButton button, Qt::MouseButtons /*buttons*/, int X, int Y) {
    if (toolPress_ && button == Qt::LeftButton) {
        toolPress_ = false;
        if (pictureTool_ != nullptr) {
            pictureTool_->pictureRelease(picturePoint(X, Y));
        }
        return;
    }
    Timer1->stop();
    ButtonHeld = 0;
    const bool left = button == Qt::LeftButton;
    if (left && SelectMode != 0) {
        platform::UnlockCursor();
        return;
    }
    const int page = paletteIndex();
    if (page == kTwistPage && left && SmudgeMode == 1) {
        tumopic(X, Y);
    }
    if (left && (page == kDistortPage || page == kTwistPage) && pressPage_ != kSignPage) {
        Form1->backup();
    }
    if (left && page == kSignPage) {
        signRelease(X, Y);
    }
}

void TWork_area::Image1Click() {
    if (toolPress_ || SelectMode != 0 || pressPage_ == kSignPage) {
        return;
    }
    distortAt(ClickPoint);
}

void TWork_area::Timer1Timer() {
    if (pressPage_ == kSignPage) {
        return;
    }
    distortAt(ClickPoint);
}

void TWork_area::distortAt(IntPoint centre) {
    switch (DistortMode) {
        case kSpherical:
            SphericalStretch(centre.x, centre.y);
            break;
        case kVertical:
            VerticalStretch(centre.x, centre.y);
            break;
        case kHorizontal:
            HorizontalStretch(centre.x, centre.y);
            break;
        default:
            break;
    }
}

void TWork_area::PictureMouseEnter() {
    MouseOverPicture = 1;
}

// A quick move off the picture skips the positions near its edge where the move handler
// would take the brush outline away, so it goes here; otherwise it would stay on screen, also
// over the Sketch and Sign pages, which never draw it.
void TWork_area::PictureMouseLeave() {
    MouseOverPicture = 0;
    RemoveTheBrush();
}

void TWork_area::ScrollHookProc() {
    RemoveTheRect2();
    Form1->SpeedButton11->setEnabled(false);
    Form1->Action6->setEnabled(false);
}

void TWork_area::endHeldPress() {
    Timer1->stop();
    ButtonHeld = 0;
    platform::UnlockCursor();
}

void TWork_area::setsigncursor() {
    switch (SignTool) {
        case kLineTool:
            Image1->setCursor(Qt::CrossCursor);
            break;
        case kPenTool:
            Image1->setCursor(penCursor());
            break;
        case kTextTool:
            Image1->setCursor(Qt::IBeamCursor);
            break;
        default:
            break;
    }
    if (DistortMode == kSpherical && DistortKind >= kExpand && DistortKind <= kSmudge) {
        Image1->setCursor(Qt::ArrowCursor);
    }
}
