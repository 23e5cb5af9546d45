// Mugwarp on the desktop: printing into a PDF file, pictures opened from the command line or
// dropped on the window, and the command line's own options.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/error_box.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "formats/bmp_codec.h"
#include "formats/picture_file.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/work_area.h"

namespace {

// Four quadrants of clear colours, so place and scale show on a rendered page.
QImage quadrants(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            picture.setPixel(x, y,
                             right ? (bottom ? qRgb(0, 0, 200) : qRgb(0, 160, 0))
                                   : (bottom ? qRgb(20, 20, 20) : qRgb(220, 0, 0)));
        }
    }
    return picture;
}

bool isWhite(QRgb pixel) {
    return qRed(pixel) > 240 && qGreen(pixel) > 240 && qBlue(pixel) > 240;
}

bool near(QRgb pixel, QRgb want) {
    return std::abs(qRed(pixel) - qRed(want)) < 16 && std::abs(qGreen(pixel) - qGreen(want)) < 16 &&
           std::abs(qBlue(pixel) - qBlue(want)) < 16;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        ASSERT_TRUE(folder.isValid());
        loadTestPicture(patternPicture(64, 48));
        messages.clear();
        setErrorBoxSink([this](const QString& text) { messages << text; });
    }
    void TearDown() override { setErrorBoxSink({}); }

    QString writeBmp(const char* name, const QImage& picture) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        formats::writeFileAtomically(path, formats::encodeBmp24(picture));
        return path;
    }

    static void drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form1, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        const QImage before = Work_area->picture();
        QCoreApplication::sendEvent(Form1, &dropped);
        // The drop ends before the file is read; the open follows from the event loop.
        EXPECT_TRUE(dropped.isAccepted());
        EXPECT_EQ(Work_area->picture(), before);
        QCoreApplication::sendPostedEvents(Form1);
    }

    QTemporaryDir folder;
    QStringList messages;
};

}  // namespace

TEST_F(DesktopTest, PrintsCentredAndDoubledOnOnePage) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) is needed";
    loadTestPicture(quadrants(100, 80));
    const QString pdf = folder.filePath("page.pdf");
    QSize page;
    Form1->PrintDialog1 = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(100);
        printer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        page = QSize(printer.width(), printer.height());
        return true;
    };
    QTest::keyClick(Form1, Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    // A4 at 100 pixels per inch: 826 x 1169. 100 x 80 doubles three times, to 800 x 640,
    // when its width passes half the page: left (826 - 800) / 2 = 13, top (1169 - 640) / 2 = 264.
    ASSERT_EQ(page, QSize(826, 1169));

    QProcess render;
    render.start(pdftoppm, {"-r", "100", "-png", "-singlefile", pdf, folder.filePath("page")});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QImage rendered(folder.filePath("page.png"));
    ASSERT_FALSE(rendered.isNull());
    QRect ink;
    for (int y = 0; y < rendered.height(); ++y) {
        for (int x = 0; x < rendered.width(); ++x) {
            if (!isWhite(rendered.pixel(x, y))) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    EXPECT_NEAR(ink.left(), 13, 1);
    EXPECT_NEAR(ink.top(), 264, 1);
    EXPECT_NEAR(ink.width(), 800, 2);
    EXPECT_NEAR(ink.height(), 640, 2);
    EXPECT_TRUE(near(rendered.pixel(13 + 200, 264 + 160), qRgb(220, 0, 0)));
    EXPECT_TRUE(near(rendered.pixel(13 + 600, 264 + 160), qRgb(0, 160, 0)));
    EXPECT_TRUE(near(rendered.pixel(13 + 200, 264 + 480), qRgb(20, 20, 20)));
    EXPECT_TRUE(near(rendered.pixel(13 + 600, 264 + 480), qRgb(0, 0, 200)));
    // Pixel replication keeps the edge between two quadrants sharp: no blend in between.
    EXPECT_TRUE(near(rendered.pixel(13 + 397, 264 + 160), qRgb(220, 0, 0)));
    EXPECT_TRUE(near(rendered.pixel(13 + 402, 264 + 160), qRgb(0, 160, 0)));

    // A cancelled dialog prints nothing.
    QFile::remove(pdf);
    Form1->PrintDialog1 = [](QPrinter&) { return false; };
    Form1->SpeedButton16Click();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(DesktopTest, AFileFromOutsideOpensAsFileOpenDoes) {
    Form1->backup();
    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    const QImage face = quadrants(30, 20);
    const QString path = writeBmp("face.bmp", face);
    EXPECT_TRUE(Form1->openPictureFile(path));
    EXPECT_EQ(Work_area->picture(), face);
    EXPECT_EQ(Form1->RenewPicture, face);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(PictureBaseName, "face");
    EXPECT_EQ(Tools->TabbedNotebook1->currentIndex(), 0);

    // A missing file: the loader's message, and the picture stays.
    guarded([&] { Form1->openPictureFile(folder.filePath("missing.jpg")); });
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("missing.jpg")) << messages[0].toStdString();
    EXPECT_EQ(Work_area->picture(), face);
}

TEST_F(DesktopTest, ADroppedPictureOpensTheFirstOfSeveral) {
    const QImage first = quadrants(40, 30);
    const QString a = writeBmp("first.bmp", first);
    const QString b = writeBmp("second.bmp", quadrants(10, 10));
    drop({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    EXPECT_EQ(Work_area->picture(), first);
    EXPECT_EQ(PictureBaseName, "first");
    EXPECT_EQ(UndoCount, 0);

    // A damaged file gives the reader's message and keeps the picture.
    const QString broken = folder.filePath("broken.bmp");
    formats::writeFileAtomically(broken, QByteArray("BM this is no bitmap"));
    drop({QUrl::fromLocalFile(broken)});
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Work_area->picture(), first);
}

TEST_F(DesktopTest, CommandLineOptionsPrintAndExit) {
    // Without any display or platform named: the texts need no window system.
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        noDisplay.remove(name);
    }
    QProcess version;
    version.setProcessEnvironment(noDisplay);
    version.start(QStringLiteral(MUGWARP_PROGRAM), {"--version"});
    ASSERT_TRUE(version.waitForFinished(30000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(version.readAllStandardOutput().contains("Mugwarp 3.51"));

    QProcess help;
    help.setProcessEnvironment(noDisplay);
    help.start(QStringLiteral(MUGWARP_PROGRAM), {"--help"});
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    EXPECT_TRUE(text.contains("FILE")) << text.toStdString();
}
