// Nothing a user does leaves the program stuck or loses the work: the picture window cannot be
// closed for good, a failing held press shows one box, a failed history restart leaves a true
// history, the recorder folder's removal never follows a link, and the open dialog's preview
// never waits for a slow file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QLabel>
#include <QMdiArea>
#include <QProgressBar>
#include <QScrollArea>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <atomic>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/picture_open_dialog.h"
#include "app/shared_state.h"
#include "formats/bmp_codec.h"
#include "formats/picture_limits.h"
#include "formats/picture_type_registry.h"
#include "platform/cursor_confinement.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        ensureWindowsShown();
        Tools->TabbedNotebook1->setCurrentIndex(0);
        SelectMode = 0;
        Recording = 0;
        loadTestPicture(patternPicture(300, 200));
        setErrorBoxSink([this](const QString& text) { errors << text; });
    }
    void TearDown() override {
        setErrorBoxSink({});
        Form1->HistorySlots.setMemoryLimit(0);
    }

    QString write(const QString& name, const QImage& picture) {
        const QString path = scratch.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(formats::encodeBmp24(picture));
        return path;
    }

    QTemporaryDir scratch;
    QStringList errors;
};

// The centre of a title-bar button of a sub-window, found as QMdiSubWindow finds it.
QPoint titleBarButton(QMdiSubWindow* window, QStyle::SubControl button) {
    QStyleOptionTitleBar option;
    option.initFrom(window);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = window->windowFlags();
    option.titleBarState = window->windowState();
    QStyle* style = window->style();
    const int border = style->styleHint(QStyle::SH_TitleBar_NoBorder, &option, window) ? 0 : 4;
    int height = style->pixelMetric(QStyle::PM_TitleBarHeight, &option, window);
    if (border != 0) {
        height += window->isMinimized() ? 8 : 4;
    }
    height -= window->isMinimized() ? 2 * border : border;
    option.rect = QRect(border, border, window->width() - 2 * border, height);
    return style->subControlRect(QStyle::CC_TitleBar, &option, button, window).center();
}

// Counts the close requests a window receives.
class CloseCounter : public QObject {
public:
    int closes = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        closes += event->type() == QEvent::Close ? 1 : 0;
        return false;
    }
};

void clickTitleBarButton(QMdiSubWindow* window, QStyle::SubControl button) {
    const QPoint at = titleBarButton(window, button);
    QTest::mouseMove(window, at);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

// Item 1: the close box minimises the picture window inside the main window; it comes back.
TEST_F(RobustnessTest, ClosingThePictureWindowMinimisesItInsideTheMainWindow) {
    ASSERT_FALSE(Work_area->isMinimized());
    CloseCounter counter;
    Work_area->installEventFilter(&counter);
    clickTitleBarButton(Work_area, QStyle::SC_TitleBarCloseButton);
    Work_area->removeEventFilter(&counter);
    EXPECT_EQ(counter.closes, 1);  // the close box it was
    EXPECT_TRUE(Work_area->isMinimized());
    EXPECT_TRUE(Work_area->isVisible());  // its title bar stays in the frame
    EXPECT_EQ(Form1->MdiArea->subWindowList(), QList<QMdiSubWindow*>{Work_area});
    EXPECT_TRUE(Form1->MdiArea->viewport()->rect().contains(Work_area->geometry()));
    // Closing it again changes nothing.
    Work_area->close();
    EXPECT_TRUE(Work_area->isVisible());

    clickTitleBarButton(Work_area, QStyle::SC_TitleBarNormalButton);
    EXPECT_FALSE(Work_area->isMinimized());
    EXPECT_TRUE(Work_area->Image1->isVisible());

    // A picture opened while the window is down brings it back to show the picture.
    Work_area->showMinimized();
    const QImage opened = patternPicture(40, 30);
    Form1->runOpenDialog = [path = write("opened.bmp", opened)] { return path; };
    Form1->Open1->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_FALSE(Work_area->isMinimized());
    EXPECT_EQ(Work_area->picture(), opened);
}

// Item 2: a held press whose effect fails stops its repeat before the one box shows; a zone
// drag is freed from its confinement before a box shows.
TEST_F(RobustnessTest, AFailingHeldPressShowsOneBoxWithTheRepeatStopped) {
    bool repeatingAtBox = true;
    int heldAtBox = 1;
    QRect confinedAtBox(0, 0, 1, 1);
    setErrorBoxSink([&](const QString& text) {
        errors << text;
        repeatingAtBox = Work_area->Timer1->isActive();
        heldAtBox = ButtonHeld;
        confinedAtBox = platform::cursorConfinement();
    });
    // The disc effects refuse a picture that is not 24 bits, as they would fail for memory.
    Work_area->setPicture(QImage(300, 200, QImage::Format_RGB32));
    pressOn(Work_area->Image1, Qt::LeftButton, {150, 100});
    ASSERT_TRUE(Work_area->Timer1->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 5000);  // the first repeat, a second later
    EXPECT_FALSE(repeatingAtBox);
    EXPECT_EQ(heldAtBox, 0);
    EXPECT_FALSE(Work_area->Timer1->isActive());
    QTest::qWait(1200);  // no second box a second later
    EXPECT_EQ(errors.size(), 1);
    Work_area->setPicture(patternPicture(300, 200));
    releaseOn(Work_area->Image1, Qt::LeftButton, {150, 100});

    // A zone being dragged confines the pointer; a failing paste (a picture larger than any
    // Mugwarp opens) shows its box with the pointer free to reach it.
    errors.clear();
    Form1->SpeedButton2->click();
    ASSERT_EQ(SelectMode, 1);
    pressOn(Work_area->Image1, Qt::LeftButton, {20, 20});
    ASSERT_FALSE(platform::cursorConfinement().isEmpty());
    QApplication::clipboard()->setImage(QImage(30001, 1, QImage::Format_RGB32));
    Form1->Action9->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(confinedAtBox.isEmpty());
    releaseOn(Work_area->Image1, Qt::LeftButton, {40, 40});
    Form1->SpeedButton2->click();
}

// Item 3: without memory for slot 1 an open leaves the old picture and its whole history; a
// frame file that cannot be written leaves the new history complete and the control zoomed.
TEST_F(RobustnessTest, AFailedHistoryRestartLeavesATrueHistory) {
    const QImage first = Work_area->picture();
    pressOn(Work_area->Image1, Qt::LeftButton, {150, 100});
    releaseOn(Work_area->Image1, Qt::LeftButton, {150, 100});
    const QImage stepped = Work_area->picture();
    ASSERT_NE(stepped, first);
    ASSERT_EQ(CurrentFrame, 2);
    const QString baseName = PictureBaseName;

    const QImage other = patternPicture(90, 70).mirrored(true, false);
    Form1->runOpenDialog = [path = write("other.bmp", other)] { return path; };
    Form1->HistorySlots.setMemoryLimit(Form1->HistorySlots.bytes() + 10);
    Form1->Open1->trigger();
    Form1->HistorySlots.setMemoryLimit(0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains("not enough memory"));
    EXPECT_EQ(Work_area->picture(), stepped);
    EXPECT_EQ(Work_area->Image1->size(), stepped.size());
    EXPECT_EQ(PictureBaseName, baseName);
    EXPECT_EQ(Form1->RenewPicture, first);
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_TRUE(Form1->SpeedButton5->isEnabled());
    Form1->Undo1->trigger();
    EXPECT_EQ(Work_area->picture(), first);  // slot 1 is still the first picture's

    // Frame 1 of the new picture cannot be written: a folder holds its name.
    errors.clear();
    Form1->Label1->setText("200%");
    ASSERT_TRUE(QDir().mkpath(RecorderFolder + "other1.jpg"));
    Form1->Open1->trigger();
    QDir(RecorderFolder + "other1.jpg").removeRecursively();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(Work_area->picture(), other);
    EXPECT_EQ(PictureBaseName, "other");
    EXPECT_EQ(Work_area->Image1->size(), other.size() * 2);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(RedoCount, 0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    EXPECT_EQ(Form1->HistorySlots.picture(1), other);
    Form1->Label1->setText("100%");
}

// Item 6: a small radius at the highest zoom still gives the progress bar a range.
TEST_F(RobustnessTest, TheProgressBarNeverTurnsIntoABusyAnimation) {
    Form1->Label1->setText("3200%");
    Tools->TrackBar1->setValue(10);
    EXPECT_GE(Tools->ProgressBar1->maximum(), 1);
    Form1->Label1->setText("100%");
    Tools->TrackBar1->setValue(100);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 400);
}

// Item 6: the preview of a small file chosen after a slow one shows at once; the slow one's
// picture, arriving later, does not replace it. Files over the size limit are not read.
TEST_F(RobustnessTest, OpenDialogPreviewShowsTheNewestSelectionWithoutWaiting) {
    const QString large = write("large.bmp", patternPicture(64, 48));
    const QString small = write("small.bmp", patternPicture(30, 20));
    QFile huge(scratch.filePath("huge.bmp"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(formats::kMaxPictureFileBytes + 1));  // sparse: costs no disk
    huge.close();

    QSemaphore largeBegun;
    QSemaphore largeMayFinish;
    std::atomic<int> decodes = 0;
    std::atomic<bool> largeDone = false;
    PictureOpenDialog dialog(Form1, [&](const QString& path) {
        ++decodes;
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QImage picture = formats::pictureTypeRegistry().read(file.readAll(), "bmp");
        if (path == large) {
            largeBegun.release();
            largeMayFinish.acquire();  // as slow as the test wants
            largeDone = true;
        }
        return picture;
    });
    QSignalSpy shown(&dialog, &PictureOpenDialog::previewShown);

    // The file view reports each selection with currentChanged.
    emit dialog.currentChanged(large);
    largeBegun.acquire();
    emit dialog.currentChanged(small);
    ASSERT_TRUE(shown.wait());
    EXPECT_FALSE(largeDone);
    EXPECT_EQ(shown.last().at(0).toString(), small);
    EXPECT_EQ(dialog.SizeLabel->text(), "30 x 20");
    EXPECT_FALSE(dialog.Preview->pixmap().isNull());
    EXPECT_FALSE(dialog.previewPending());

    // The large picture arrives late and is dropped: the small one stays.
    largeMayFinish.release();
    QTRY_VERIFY(dialog.findChildren<QFutureWatcherBase*>().isEmpty());
    EXPECT_TRUE(largeDone);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(dialog.SizeLabel->text(), "30 x 20");

    EXPECT_FALSE(dialog.showPreview(huge.fileName()));
    EXPECT_EQ(decodes, 2);
    EXPECT_TRUE(dialog.Preview->pixmap().isNull());
}

// Item 4: closing the program removes the recorder folder; a link inside goes as a link and
// the files it points to keep their content and permissions. Runs last: closing ends the
// program's windows.
TEST_F(RobustnessTest, ZClosingNeverFollowsALinkInTheRecorderFolder) {
    const QString outside = scratch.filePath("outside/");
    ASSERT_TRUE(QDir().mkpath(outside + "inner"));
    QFile kept(outside + "kept.jpg");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("mine");
    kept.close();
    QFile::setPermissions(kept.fileName(), QFile::ReadOwner);
    QFile::setPermissions(outside + "inner", QFile::ReadOwner | QFile::ExeOwner);
    const QString folder = RecorderFolder;
    ASSERT_TRUE(QFile::link(outside, folder + "linked-folder"));
    ASSERT_TRUE(QFile::link(outside + "inner", folder + "linked-inner"));
    ASSERT_TRUE(QFile::link(kept.fileName(), folder + "linked-file.jpg"));

    Form1->close();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFile::exists(kept.fileName()));
    EXPECT_EQ(QFile::permissions(kept.fileName()) & 0x7000, QFile::ReadOwner);
    EXPECT_EQ(QFile::permissions(outside + "inner") & 0x7000, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "mine");
    QFile::setPermissions(outside + "inner",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
