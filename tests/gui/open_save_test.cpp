// Open and Save through the main window's commands, with the dialogs answered
// by the test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include "app/background_open.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/picture_open_dialog.h"
#include "app/shared_state.h"
#include "app/view_zoom.h"
#include "formats/bmp_codec.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

class OpenSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        loadTestPicture(patternPicture(120, 90));
        setErrorBoxSink([this](const QString& text) { errors << text; });
    }
    void TearDown() override { setErrorBoxSink({}); }

    QString write(const QString& name, const QByteArray& data) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }
    void answerOpen(std::optional<QString> answer) {
        Form1->runOpenDialog = [answer] { return answer; };
    }
    void answerSave(const QString& name, int entry) {
        Form1->runSaveDialog = [name, entry] {
            return std::optional<TForm1::SaveChoice>(TForm1::SaveChoice{name, entry});
        };
    }

    QTemporaryDir folder;
    QStringList errors;
};

}  // namespace

TEST_F(OpenSaveTest, SavesLosslesslyAsPngAndAsWebp) {
    const QImage picture = Work_area->picture();
    answerSave(folder.filePath("face.jpg"), 4);
    Form1->Save1->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("face.jpg")));
    EXPECT_EQ(formats::readPictureFile(folder.filePath("face.png")), picture);

    // The sixth type is WebP, lossless; beside it the lossy one at quality 90.
    answerSave(folder.filePath("face.jpg"), 5);
    Form1->Save1->trigger();
    EXPECT_EQ(formats::readPictureFile(folder.filePath("face.webp")), picture);
    answerSave(folder.filePath("lossy"), 6);
    Form1->Save1->trigger();
    const QImage lossy = formats::readPictureFile(folder.filePath("lossy.webp"));
    EXPECT_EQ(lossy.size(), picture.size());
    EXPECT_NE(lossy, picture);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(OpenSaveTest, AnEnhancedMetafileNamedWmfOpensByItsContent) {
    QFile emf(QStringLiteral(MUGWARP_TEST_DATA "/formats/lo-shapes.emf"));
    ASSERT_TRUE(emf.open(QIODevice::ReadOnly));
    const QByteArray bytes = emf.readAll();
    const QImage want = formats::decodePicture(bytes, "shapes.emf");
    answerOpen(write("shapes.wmf", bytes));
    Form1->Open1->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture(), want);
    // And a plain metafile named .emf.
    QFile wmf(QStringLiteral(MUGWARP_TEST_DATA "/formats/lo-shapes-placeable.wmf"));
    ASSERT_TRUE(wmf.open(QIODevice::ReadOnly));
    const QByteArray plain = wmf.readAll();
    answerOpen(write("shapes.emf", plain));
    Form1->Open1->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture(), formats::decodePicture(plain, "shapes.wmf"));
    PictureBaseName = "example";  // as the other cases of this program expect
}

TEST_F(OpenSaveTest, CancellingTheOpenDialogChangesNothing) {
    Form1->backup();
    const QImage before = Work_area->picture();
    answerOpen(std::nullopt);
    Form1->Open1->trigger();
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_TRUE(Form1->SpeedButton5->isEnabled());
    EXPECT_EQ(PictureBaseName, "example");
}

TEST_F(OpenSaveTest, OpeningAPictureRestartsTheHistoryUnderItsName) {
    const QImage portrait = patternPicture(64, 48).mirrored();
    answerOpen(write("portrait.bmp", formats::encodeBmp24(portrait)));
    Form1->backup();
    Tools->TabbedNotebook1->setCurrentIndex(1);
    Form1->Open1->trigger();
    EXPECT_EQ(Work_area->picture(), portrait);
    EXPECT_EQ(PictureBaseName, "portrait");
    EXPECT_TRUE(QFile::exists(RecorderFolder + "portrait1.jpg"));
    EXPECT_EQ(UndoCount, 0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    EXPECT_EQ(Tools->TabbedNotebook1->currentIndex(), 0);
    EXPECT_EQ(Work_area->Image1->size(), QSize(64, 48));

    // Renew goes back to the opened picture, not the example.
    QImage changed = portrait.copy();
    changed.fill(Qt::black);
    Work_area->setPicture(changed);
    Form1->RenewClick();
    EXPECT_EQ(Work_area->picture(), portrait);
    PictureBaseName = "example";
}

TEST_F(OpenSaveTest, ABadFileLeavesEverythingAsItWas) {
    Form1->backup();
    const QImage before = Work_area->picture();
    const QImage renew = Form1->RenewPicture;
    // A pipe and a folder are refused as such, at once and without reading.
    const QString pipe = folder.filePath("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString subfolder = folder.filePath("folder.bmp");
    ASSERT_TRUE(QDir().mkdir(subfolder));
    for (const QString& path :
         {write("broken.jpg", QByteArray("\xFF\xD8\xFF\xE0 no more", 12)),
          write("empty.bmp", QByteArray()), folder.filePath("missing.bmp"), pipe, subfolder}) {
        errors.clear();
        answerOpen(path);
        Form1->Open1->trigger();
        ASSERT_EQ(errors.size(), 1) << path.toStdString();
        if (path == pipe || path == subfolder) {
            EXPECT_TRUE(errors.front().contains("is not a regular file"))
                << errors.front().toStdString();
        }
        EXPECT_EQ(Work_area->picture(), before);
        EXPECT_EQ(PictureBaseName, "example");
        EXPECT_EQ(UndoCount, 1);
        EXPECT_EQ(Form1->RenewPicture, renew);
    }
}

TEST_F(OpenSaveTest, SavingForcesTheExtensionAndReplacesWithoutAsking) {
    const QImage& picture = Work_area->picture();
    answerSave(folder.filePath("holiday"), 0);
    Form1->Save1->trigger();
    QFile jpeg(folder.filePath("holiday.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    EXPECT_EQ(formats::decodeJpeg(jpeg.readAll()).size(), picture.size());

    write("face.bmp", "old contents");
    answerSave(folder.filePath("face.png"), 1);
    Form1->Save1->trigger();
    EXPECT_EQ(formats::readPictureFile(folder.filePath("face.bmp")), picture);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(UndoCount, 0);  // saving is not a step

    // A folder that cannot hold the file: the error box, and nothing written.
    answerSave(folder.filePath("face.bmp/inside"), 1);
    Form1->Save1->trigger();
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(formats::readPictureFile(folder.filePath("face.bmp")), picture);
}

TEST_F(OpenSaveTest, OpenDialogPreviewsPicturesAndStaysEmptyOtherwise) {
    PictureOpenDialog dialog(Form1);
    EXPECT_TRUE(dialog.nameFilters().front().startsWith("All pictures"));
    // The preview is decoded in the background and arrives with previewShown.
    QSignalSpy shown(&dialog, &PictureOpenDialog::previewShown);
    EXPECT_TRUE(
        dialog.showPreview(write("shown.bmp", formats::encodeBmp24(patternPicture(30, 20)))));
    ASSERT_TRUE(shown.wait());
    EXPECT_EQ(dialog.SizeLabel->text(), "30 x 20");
    EXPECT_FALSE(dialog.Preview->pixmap().isNull());
    // A damaged file decodes to nothing; a missing one is not read at all.
    EXPECT_TRUE(dialog.showPreview(write("broken.gif", "GIF89a broken")));
    EXPECT_TRUE(dialog.Preview->pixmap().isNull());
    ASSERT_TRUE(shown.wait());
    EXPECT_FALSE(shown.last().at(1).toBool());
    EXPECT_FALSE(dialog.showPreview(folder.filePath("none.bmp")));
    EXPECT_TRUE(dialog.SizeLabel->text().isEmpty());
    EXPECT_TRUE(dialog.Preview->pixmap().isNull());
    EXPECT_TRUE(errors.isEmpty());
}

// A 6000 x 4000 photograph opened at 100 % is shown whole; View > Actual pixels and Fit in
// window zoom through the same steps; a phone's portrait opens upright and keeps the zoom.
TEST_F(OpenSaveTest, LargePhotographsOpenFittedAndTheViewCommandsZoom) {
    ASSERT_EQ(Form1->Label1->text(), "100%");
    const QSize room = Work_area->ScrollBox->maximumViewportSize();
    const QImage large = patternPicture(6000, 4000);
    answerOpen(write("large.bmp", formats::encodeBmp24(large)));
    Form1->Open1->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_EQ(Work_area->picture().size(), large.size());

    // The zoom went down the tool bar's steps from 100 % and stopped at the first that fits.
    auto fits = [&](int percent) {
        return view_zoom::shownSide(6000, percent) <= room.width() &&
               view_zoom::shownSide(4000, percent) <= room.height();
    };
    int expected = 100;
    while (!fits(expected)) {
        expected = view_zoom::stepPercent(6000, 4000, view_zoom::shownSide(6000, expected),
                                          expected, view_zoom::kZoomOutFactor);
    }
    ASSERT_LT(expected, 100);
    const QString fitted = QString::number(expected) + "%";
    EXPECT_EQ(Form1->Label1->text(), fitted);
    EXPECT_EQ(Work_area->Image1->size(),
              QSize(view_zoom::shownSide(6000, expected), view_zoom::shownSide(4000, expected)));

    // A slow open's progress dialog had the keyboard for a while; it comes back to the window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    QTest::keyClick(Form1, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(Form1->Label1->text(), "100%");
    EXPECT_EQ(Work_area->Image1->size(), QSize(6000, 4000));
    QTest::keyClick(Form1, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Form1->Label1->text(), fitted);

    // A picture that fits keeps the zoom it meets; it opens upright (orientation 6).
    answerOpen(QStringLiteral(MUGWARP_TEST_DATA "/formats/photo-orientation-6.jpg"));
    Form1->Open1->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture().size(), QSize(32, 48));
    EXPECT_EQ(Form1->Label1->text(), fitted);
    // Fit in window grows a small picture for as long as the next step still fits.
    QTest::keyClick(Form1, Qt::Key_0, Qt::ControlModifier);
    const int grown = Form1->Label1->text().chopped(1).toInt();
    EXPECT_GT(grown, 100);
    EXPECT_LE(Work_area->Image1->height(), room.height());
    const int next =
        view_zoom::stepPercent(32, 48, Work_area->Image1->width(), grown, view_zoom::kZoomInFactor);
    EXPECT_GT(view_zoom::shownSide(48, next), room.height());
    EXPECT_EQ(PictureBaseName, "photo-orientation-6");
}

namespace {

// A stand-in for the PostScript interpreter, first on the PATH while it lives: a shell script
// named gs whose body the test sets.
class FakeGhostscript {
public:
    FakeGhostscript() : path_(qgetenv("PATH")) {
        qputenv("PATH", folder_.path().toUtf8() + ':' + path_);
    }
    ~FakeGhostscript() { qputenv("PATH", path_); }
    FakeGhostscript(const FakeGhostscript&) = delete;
    FakeGhostscript& operator=(const FakeGhostscript&) = delete;

    void run(const QByteArray& body) {
        QFile script(folder_.filePath("gs"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/bin/sh\n" + body);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QTemporaryDir folder_;
    QByteArray path_;
};

// Writes the page it is asked for (-gWIDTHxHEIGHT), all black, to its output as gs would.
constexpr const char* kDrawsABlackPage =
    "for a in \"$@\"; do case \"$a\" in -g*) size=${a#-g};; esac; done\n"
    "w=${size%x*}; h=${size#*x}\n"
    "printf 'P6\\n%s %s\\n255\\n' \"$w\" \"$h\"\n"
    "head -c $((w * h * 3)) /dev/zero\n";

// An EPS file without a preview: only drawing its PostScript shows it.
const QByteArray kInchSquare(
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\n0 0 72 72 rectfill\n");

}  // namespace

TEST_F(OpenSaveTest, AnEpsWithoutAPreviewIsDrawnOnlyWhenTheUserOpensIt) {
    FakeGhostscript gs;
    gs.run(kDrawsABlackPage);
    const QString path = write("square.eps", kInchSquare);
    PictureOpenDialog dialog(Form1);
    QSignalSpy shown(&dialog, &PictureOpenDialog::previewShown);
    ASSERT_TRUE(dialog.showPreview(path));
    ASSERT_TRUE(shown.wait());
    EXPECT_FALSE(shown.last().at(1).toBool());
    EXPECT_TRUE(dialog.Preview->pixmap().isNull());

    answerOpen(path);
    Form1->Open1->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture().size(), QSize(96, 96));
    EXPECT_EQ(Work_area->picture().pixel(48, 48), qRgb(0, 0, 0));
    EXPECT_EQ(PictureBaseName, "square");
    PictureBaseName = "example";
}

TEST_F(OpenSaveTest, ASlowOpenShowsItsProgressAndCancelKeepsThePicture) {
    FakeGhostscript gs;
    gs.run("exec sleep 30\n");
    Form1->backup();
    const QImage before = Work_area->picture();
    answerOpen(write("slow.eps", kInchSquare));

    // The dialog is answered as a user would: Cancel, once it shows.
    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = -1;
    QString label;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* progress = Form1->findChild<QProgressDialog*>(kOpenProgressName);
        if (progress != nullptr && progress->isVisible()) {
            shownAt = clock.elapsed();
            label = progress->labelText();
            look.stop();
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        }
    });
    look.start();
    Form1->Open1->trigger();
    const qint64 ended = clock.elapsed();
    EXPECT_GE(shownAt, kOpenProgressDelayMs);
    EXPECT_LT(ended, 5000);
    EXPECT_NE(label.indexOf("slow.eps"), -1) << label.toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_EQ(PictureBaseName, "example");
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(Form1->StatusBar1->currentMessage(), "Opening cancelled");

    // The interpreter was killed, not left to sleep: the next open has its turn at once, and a
    // quick one shows no progress dialog.
    gs.run(kDrawsABlackPage);
    answerOpen(write("quick.eps", kInchSquare));
    look.start();
    shownAt = -1;
    clock.restart();
    Form1->Open1->trigger();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(shownAt, -1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(Work_area->picture().size(), QSize(96, 96));
    PictureBaseName = "example";
}
