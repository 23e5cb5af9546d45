#include "app/main_window.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <cmath>

#include "app/about_box.h"
#include "app/ended_folders.h"
#include "app/error_box.h"
#include "app/handler_guard.h"
#include "app/recovery_copy.h"
#include "app/shared_state.h"
#include "app/toolbar_glyphs.h"
#include "app/view_zoom.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    setWindowTitle("Mugwarp v" MUGWARP_VERSION);
    resize(885, 611);
    move(3, 10);  // the frame's corner, title bar included
    QFont formFont("MS Sans Serif");
    formFont.setPixelSize(11);
    setFont(formFont);

    MdiArea = new QMdiArea(this);
    setCentralWidget(MdiArea);
    buildMenu();
    buildToolBar();
    buildShortcuts();
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);

    RenewPicture = QImage();
    SelectMode = 0;
    PictureBaseName = "example";
    // Before the claim, which would otherwise take over a folder left behind with its copy.
    endedFolders_ = std::make_unique<EndedFolders>(
        EndedFolders::take(QCoreApplication::applicationDirPath(), userCacheFolder()));
    recorderFolder_ = std::make_unique<RecorderFolderClaim>(QCoreApplication::applicationDirPath(),
                                                            userCacheFolder());
    RecorderFolder = recorderFolder_->folder();
    runOpenDialog = [this] { return showOpenDialog(); };
    runSaveDialog = [this] { return showSaveDialog(); };
    PrintDialog1 = [this](QPrinter& printer) { return showPrintDialog(printer); };
    setAcceptDrops(true);
}

void TForm1::buildMenu() {
    auto addItem = [this](QMenu* menu, const char* caption, void (TForm1::*handler)()) {
        QAction* action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
        return action;
    };
    File1 = menuBar()->addMenu("File");
    Open1 = addItem(File1, "Open", &TForm1::Open1Click);
    Save1 = addItem(File1, "Save", &TForm1::Save1Click);
    Exit1 = addItem(File1, "Exit", &TForm1::Exit1Click);
    View1 = menuBar()->addMenu("Edit");
    ImageSize1 = addItem(View1, "Image Size", &TForm1::ImageSize1Click);
    Undo1 = addItem(View1, "Undo", &TForm1::Undo1Click);
    Redo1 = addItem(View1, "Redo", &TForm1::Redo1Click);
    Renew = addItem(View1, "Renew", &TForm1::RenewClick);
    ViewMenu = menuBar()->addMenu("View");
    FitInWindow = addItem(ViewMenu, "Fit in window", &TForm1::FitInWindowClick);
    FitInWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    ActualPixels = addItem(ViewMenu, "Actual pixels", &TForm1::ActualPixelsClick);
    ActualPixels->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    Help1 = menuBar()->addMenu("Help");
    Online1 = addItem(Help1, "Online", &TForm1::Online1Click);
    About1 = addItem(Help1, "About", &TForm1::About1Click);
    Undo1->setEnabled(false);
    Redo1->setEnabled(false);
}

void TForm1::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setMovable(false);
    addToolBar(ToolBar1);
    Panel3 = new QWidget(ToolBar1);
    Panel3->setFixedSize(355, 22);
    ToolBar1->addWidget(Panel3);

    // The speed buttons form one group: the one clicked last stays pressed.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    auto addButton = [this, group](int left, ToolbarGlyph glyph, const char* tip,
                                   void (TForm1::*handler)()) {
        auto* button = new QToolButton(Panel3);
        button->setGeometry(left, 0, 25, 21);
        button->setIcon(toolbarGlyph(glyph));
        button->setIconSize(QSize(24, 20));
        button->setToolTip(tip);
        button->setAutoRaise(true);
        button->setCheckable(true);
        group->addButton(button);
        connect(button, &QToolButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
        return button;
    };
    SpeedButton3 = addButton(2, ToolbarGlyph::Open, "Open", &TForm1::Open1Click);
    SpeedButton4 = addButton(28, ToolbarGlyph::Save, "Save", &TForm1::Save1Click);
    SpeedButton5 = addButton(54, ToolbarGlyph::Undo, "Undo", &TForm1::Undo1Click);
    SpeedButton10 = addButton(80, ToolbarGlyph::Redo, "Redo", &TForm1::Redo1Click);
    SpeedButton6 = addButton(106, ToolbarGlyph::Renew, "Renew", &TForm1::RenewClick);
    SpeedButton8 =
        addButton(132, ToolbarGlyph::ZoomOut, "Zoom out the view", &TForm1::SpeedButton8Click);
    SpeedButton9 =
        addButton(158, ToolbarGlyph::ZoomIn, "Zoom in the view", &TForm1::SpeedButton9Click);
    Label1 = new QLabel("100%", Panel3);
    Label1->setGeometry(184, 4, 38, 14);
    SpeedButton2 =
        addButton(223, ToolbarGlyph::Select, "Select a zone to cut", &TForm1::SpeedButton2Click);
    SpeedButton11 =
        addButton(249, ToolbarGlyph::Cut, "Cut out the selection", &TForm1::SpeedButton11Click);
    SpeedButton16 = addButton(275, ToolbarGlyph::Print, "Print", &TForm1::SpeedButton16Click);
    SpeedButton1 =
        addButton(301, ToolbarGlyph::Mail, "Mail the work to a friend", &TForm1::SpeedButton1Click);
    SpeedButton7 = addButton(327, ToolbarGlyph::Online, "Online", &TForm1::Online1Click);
    SpeedButton5->setEnabled(false);
    SpeedButton10->setEnabled(false);
    SpeedButton11->setEnabled(false);
}

void TForm1::buildShortcuts() {
    // The shortcuts are separate actions: disabling a button or menu item leaves
    // its shortcut working, and the handlers guard themselves.
    auto addShortcut = [this](QList<QKeySequence> keys, void (TForm1::*handler)()) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        if (handler != nullptr) {
            connect(action, &QAction::triggered, this,
                    [this, handler] { guarded([&] { (this->*handler)(); }); });
        }
        return action;
    };
    Action1 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_O)}, &TForm1::Open1Click);
    Action2 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_S)}, &TForm1::Save1Click);
    Action3 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Q)}, &TForm1::Exit1Click);
    Action4 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Z)}, &TForm1::Undo1Click);
    Action5 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Y)}, &TForm1::Redo1Click);
    Action6 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_C)}, &TForm1::Action6Execute);
    Action7 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &TForm1::SpeedButton8Click);
    // The plus/equals key: unshifted it reports "=", shifted "+".
    Action8 =
        addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
                    &TForm1::SpeedButton9Click);
    Action9 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_V)}, &TForm1::Action9Execute);
    Action10 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_E)}, &TForm1::ImageSize1Click);
    Action11 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_P)}, &TForm1::SpeedButton16Click);
    Action12 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_R)}, &TForm1::RenewClick);
    Action13 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_M)}, &TForm1::SpeedButton1Click);
    // F1 is taken so that it does nothing.
    Action14 = addShortcut({QKeySequence(Qt::Key_F1)}, nullptr);
    Action15 = addShortcut({QKeySequence(Qt::CTRL | Qt::Key_L)}, &TForm1::Online1Click);
    Action6->setEnabled(false);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        guarded([this] { FormShow(); });
    }
}

void TForm1::FormShow() {
    Work_area->resize(615, 504);
    RenewPicture = Work_area->picture();
    DistortKind = kExpand;
    DistortMode = kSpherical;
    HistorySlots.create();
    QDir().mkpath(RecorderFolder);
    RestartHistory(true);
    startRecoveryCopies();  // the example as it starts needs no copy
}

void TForm1::closeEvent(QCloseEvent* event) {
    guarded([this] { FormClose(); });
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void TForm1::FormClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    RenewPicture = QImage();
    SketchBitmap = QImage();
    HistorySlots.clear();
    recoveryCopy_.reset();  // removes the copy once its worker has ended
    recorderFolder_->releaseAndRemove();
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::Online1Click() {
    QDesktopServices::openUrl(QUrl(kProductPage));
}

void TForm1::About1Click() {
    About_us->show();
}

void TForm1::setUndoEnabled(bool enabled) {
    SpeedButton5->setEnabled(enabled);
    Undo1->setEnabled(enabled);
}

void TForm1::setRedoEnabled(bool enabled) {
    SpeedButton10->setEnabled(enabled);
    Redo1->setEnabled(enabled);
}

void TForm1::savefilelist(int frame) {
    const QString path = RecorderFolder + PictureBaseName + QString::number(frame) + ".jpg";
    formats::writeFileAtomically(path, formats::encodeJpeg(Work_area->picture()));
}

// Slot 1 is filled before anything else changes: when memory for it cannot be had, the
// counters, the Undo and Redo pairs and every slot still describe the old history. Once it
// is stored the new history is complete, so a frame file that cannot be written afterwards
// ends the command with its error and leaves that history as it is.
void TForm1::RestartHistory(bool alwaysWriteFrame) {
    try {
        HistorySlots.store(1, Work_area->picture(), 0);
    } catch (const std::bad_alloc&) {
        throw HistoryMemoryError();
    }
    // The earlier picture's steps are out of reach from here on; their memory goes now.
    HistorySlots.releaseAllBut(1);
    historyRestarted();
    if (alwaysWriteFrame || Recording != 0) {
        savefilelist(1);
    }
}

void TForm1::backup() {
    // Without a picture there is no step to record.
    if (Work_area->picture().isNull()) {
        return;
    }
    const EditHistory::StepOutcome outcome =
        HistorySlots.storeStep(CurrentFrame, UndoCount, Work_area->picture());
    stepRecorded(outcome);
    if (!outcome.stored) {
        // The picture and the earlier steps left stay usable.
        showErrorBox(
            "There is not enough memory to record this step. The picture is kept, but this "
            "step cannot be undone separately.");
        return;
    }
    if (outcome.firstLetGo) {
        StatusBar1->showMessage(
            QString("To stay within memory the oldest steps were let go: Undo now reaches back "
                    "%1 steps.")
                .arg(UndoCount));
    }
    if (Recording != 0) {
        savefilelist(CurrentFrame);
    }
}

void TForm1::Undo1Click() {
    if (stepBack()) {
        Work_area->setPicture(HistorySlots.picture(CurrentFrame));
        Work_area->fitPictureToZoom();
        keepRecoveryCopy();
    }
}

void TForm1::Redo1Click() {
    if (stepForward()) {
        Work_area->setPicture(HistorySlots.picture(CurrentFrame));
        Work_area->fitPictureToZoom();
        keepRecoveryCopy();
    }
}

// The history's counters change only in these four; the Undo and Redo buttons follow them.
void TForm1::historyRestarted() {
    CurrentFrame = 1;
    UndoCount = 0;
    RedoCount = 0;
    followHistoryButtons();
    keepRecoveryCopy();
}

void TForm1::stepRecorded(const EditHistory::StepOutcome& outcome) {
    // Steps let go to stay within the history's memory budget are out of reach, and the
    // redo steps are gone even when this step could not be stored.
    UndoCount -= outcome.letGo;
    RedoCount = 0;
    if (outcome.stored) {
        CurrentFrame = nextSlot(CurrentFrame);
        if (UndoCount < 1000) {
            ++UndoCount;
        }
    }
    followHistoryButtons();
    keepRecoveryCopy();
}

bool TForm1::stepBack() {
    if (UndoCount <= 0) {
        followHistoryButtons();
        return false;
    }
    CurrentFrame = previousSlot(CurrentFrame);
    --UndoCount;
    ++RedoCount;
    followHistoryButtons();
    return true;
}

bool TForm1::stepForward() {
    if (RedoCount <= 0) {
        followHistoryButtons();
        return false;
    }
    CurrentFrame = nextSlot(CurrentFrame);
    ++UndoCount;
    --RedoCount;
    followHistoryButtons();
    return true;
}

void TForm1::followHistoryButtons() {
    setUndoEnabled(UndoCount > 0);
    setRedoEnabled(RedoCount > 0);
}

void TForm1::RenewClick() {
    Work_area->setPicture(RenewPicture);
    Work_area->fitPictureToZoom();
    Tools->TabbedNotebook1->setCurrentIndex(0);
    RestartHistory(false);
}

namespace {

// Before the zoom changes: the band was drawn for the old zoom.
void leaveSelectionBand(PictureControl* image) {
    if (SelectMode != 0) {
        Work_area->RemoveTheRect2();
        Form1->SpeedButton11->setEnabled(false);
        image->update();
    }
}

// A whole percentage written to the label, then the control sized from it.
void showZoomPercent(QLabel* label, int percent) {
    label->setText(QString::number(percent) + "%");
    Work_area->fitPictureToZoom();
}

// One zoom step: the next whole percentage.
void zoomStep(PictureControl* image, QLabel* label, double factor) {
    leaveSelectionBand(image);
    const QImage& picture = image->picture();
    refreshZoomPercent();
    const int percent = view_zoom::stepPercent(picture.width(), picture.height(), image->width(),
                                               static_cast<int>(ZoomPercent), factor);
    showZoomPercent(label, percent);
}

}  // namespace

void TForm1::fitZoomToWindow(bool grow) {
    const QImage& picture = Work_area->picture();
    const QSize room = Work_area->ScrollBox->maximumViewportSize();
    refreshZoomPercent();
    const int current = static_cast<int>(ZoomPercent);
    const int percent = view_zoom::fittingPercent(picture.width(), picture.height(), current,
                                                  room.width(), room.height(), grow);
    if (percent != current) {
        leaveSelectionBand(Work_area->Image1);
        showZoomPercent(Label1, percent);
    }
}

void TForm1::FitInWindowClick() {
    fitZoomToWindow(true);
}

void TForm1::ActualPixelsClick() {
    refreshZoomPercent();
    if (static_cast<int>(ZoomPercent) != 100) {
        leaveSelectionBand(Work_area->Image1);
        showZoomPercent(Label1, 100);
    }
}

void TForm1::imgzoomin(PictureControl* image, QLabel* label) {
    zoomStep(image, label, view_zoom::kZoomInFactor);
}

void TForm1::imgzoomout(PictureControl* image, QLabel* label) {
    zoomStep(image, label, view_zoom::kZoomOutFactor);
}

void TForm1::SpeedButton8Click() {
    imgzoomout(Work_area->Image1, Label1);
}

void TForm1::SpeedButton9Click() {
    imgzoomin(Work_area->Image1, Label1);
}
