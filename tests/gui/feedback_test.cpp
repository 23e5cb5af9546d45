// On-screen marks of the picture window: the marching selection outline, the
// brush circle and the line preview, read back from what the window shows.
#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QWindow>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr QRgb kGrey = qRgb(128, 128, 128);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);

class FeedbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        // The outline ticks are driven by hand so each phase can be read.
        Work_area->Timer2->stop();
        Tools->TabbedNotebook1->setCurrentIndex(0);
        Tools->TrackBar1->setValue(100);
        BrushRadius = 100;
        SelectMode = 0;
        QImage grey(400, 300, QImage::Format_BGR888);
        grey.fill(kGrey);
        loadTestPicture(grey);
        Work_area->RemoveTheRect2();
        Work_area->RemoveTheBrush();
        Work_area->RemoveTheLine();
        plain = shown();
    }
    void TearDown() override {
        Work_area->RemoveTheRect2();
        Work_area->Timer2->start();
    }

    // The viewport as the window last painted it on screen, after pending repaints.
    static QImage shown() {
        QWidget* viewport = Work_area->ScrollBox->viewport();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const QPoint at = viewport->mapTo(Form1, QPoint(0, 0));
        return Form1->windowHandle()
            ->screen()
            ->grabWindow(Form1->winId(), at.x(), at.y(), viewport->width(), viewport->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    static std::vector<QRgb> row(const QImage& image, int y, int fromX, int count) {
        std::vector<QRgb> colours;
        for (int x = fromX; x < fromX + count; ++x) {
            colours.push_back(image.pixel(x, y) | 0xff000000u);
        }
        return colours;
    }
    static std::vector<QRgb> column(const QImage& image, int x, int fromY, int count) {
        std::vector<QRgb> colours;
        for (int y = fromY; y < fromY + count; ++y) {
            colours.push_back(image.pixel(x, y) | 0xff000000u);
        }
        return colours;
    }
    static std::vector<QRgb> runs(std::initializer_list<std::pair<int, QRgb>> parts) {
        std::vector<QRgb> colours;
        for (const auto& [count, colour] : parts) {
            colours.insert(colours.end(), count, colour);
        }
        return colours;
    }
    static QRect boxOf(const QImage& image, QRgb colour) {
        QRect box;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if ((image.pixel(x, y) | 0xff000000u) == colour) {
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        return box;
    }

    // Where `image` differs from the plain picture, as text for the failure message.
    std::string tracesIn(const QImage& image) const {
        if (image.size() != plain.size()) {
            return "size differs";
        }
        std::string traces;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if ((image.pixel(x, y) | 0xff000000u) != (plain.pixel(x, y) | 0xff000000u) &&
                    traces.size() < 200) {
                    traces += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
                }
            }
        }
        return traces;
    }

    QImage plain;
};

}  // namespace

TEST_F(FeedbackTest, OutlineMarchesRoundTheCornerTwoPixelsPerTick) {
    ASSERT_EQ(plain.pixel(5, 5) | 0xff000000u, kGrey);
    Work_area->BandRect = {0, 0, 10, 5};
    Work_area->AntsPhase = 128;
    Work_area->DrawTheRect1();
    QImage image = shown();
    EXPECT_EQ(row(image, 0, 0, 10), runs({{5, kBlack}, {3, kWhite}, {2, kBlack}}));
    EXPECT_EQ(column(image, 10, 0, 5), runs({{3, kBlack}, {2, kWhite}}));
    // Bottom edge walked back from x = 10, then the left edge up to y = 1.
    EXPECT_EQ(row(image, 5, 1, 10), runs({{1, kBlack}, {3, kWhite}, {5, kBlack}, {1, kWhite}}));
    EXPECT_EQ(column(image, 0, 1, 5), runs({{1, kWhite}, {4, kBlack}}));
    EXPECT_EQ(row(image, 2, 1, 9), runs({{9, kGrey}}));

    Work_area->Timer2Timer();
    EXPECT_EQ(Work_area->AntsPhase, 32);
    image = shown();
    EXPECT_EQ(row(image, 0, 0, 10), runs({{2, kWhite}, {5, kBlack}, {3, kWhite}}));
    Work_area->Timer2Timer();
    Work_area->Timer2Timer();
    EXPECT_EQ(Work_area->AntsPhase, 2);
    Work_area->Timer2Timer();
    EXPECT_EQ(Work_area->AntsPhase, 128);
    EXPECT_EQ(row(shown(), 0, 0, 10), runs({{5, kBlack}, {3, kWhite}, {2, kBlack}}));
}

TEST_F(FeedbackTest, OutlineWithoutExtentDrawsNothing) {
    Work_area->BandRect = {40, 30, 40, 30};
    Work_area->DrawTheRect1();
    EXPECT_EQ(tracesIn(shown()), "");
    Work_area->RemoveTheRect2();
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
    Work_area->Timer2Timer();
    EXPECT_TRUE(Work_area->feedbackOverlay()->bandPixels().empty());
    EXPECT_EQ(tracesIn(shown()), "");
}

TEST_F(FeedbackTest, DraggedOutlineLeavesNoTrace) {
    SelectMode = 1;
    pressOn(Work_area->Image1, Qt::LeftButton, {20, 30});
    QTest::mouseMove(Work_area->Image1, {120, 90});
    EXPECT_EQ(Work_area->BandRect, (IntQuad{20, 30, 120, 90}));
    QImage image = shown();
    EXPECT_EQ(boxOf(image, kBlack) | boxOf(image, kWhite), QRect(QPoint(20, 30), QPoint(120, 90)));
    // Shrinking the band repaints the old outline away.
    QTest::mouseMove(Work_area->Image1, {60, 50});
    image = shown();
    EXPECT_EQ(boxOf(image, kBlack) | boxOf(image, kWhite), QRect(QPoint(20, 30), QPoint(60, 50)));
    releaseOn(Work_area->Image1, Qt::LeftButton, {60, 50});
    Work_area->Timer2Timer();
    EXPECT_NE(tracesIn(shown()), "");
    Work_area->RemoveTheRect2();
    EXPECT_EQ(tracesIn(shown()), "");
    Work_area->Timer2Timer();
    EXPECT_EQ(tracesIn(shown()), "");
}

TEST_F(FeedbackTest, BrushCircleFollowsTheMouseOnlyWhereItMay) {
    moveOn(Work_area->Image1, Qt::NoButton, {200, 150});
    EXPECT_EQ(Work_area->BrushBox, (IntQuad{100, 50, 300, 250}));
    QImage image = shown();
    // A 1-pixel circle of radius 100 inside the box, its far edges excluded.
    EXPECT_EQ(boxOf(image, kRed), QRect(100, 50, 200, 200));
    EXPECT_EQ(image.pixel(100, 150) | 0xff000000u, kRed);
    EXPECT_EQ(image.pixel(200, 50) | 0xff000000u, kRed);
    EXPECT_EQ(image.pixel(200, 150) | 0xff000000u, kGrey);
    EXPECT_EQ(image.pixel(101, 150) | 0xff000000u, kGrey);

    moveOn(Work_area->Image1, Qt::NoButton, {230, 170});
    EXPECT_EQ(boxOf(shown(), kRed), QRect(130, 70, 200, 200));
    // Within 2 pixels of the picture's edge there is no outline.
    moveOn(Work_area->Image1, Qt::NoButton, {2, 170});
    EXPECT_EQ(tracesIn(shown()), "");
    moveOn(Work_area->Image1, Qt::NoButton, {200, 298});
    EXPECT_EQ(tracesIn(shown()), "");

    // A quick move off the picture takes the outline with it.
    moveOn(Work_area->Image1, Qt::NoButton, {200, 150});
    ASSERT_NE(tracesIn(shown()), "");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(Work_area->Image1, &leave);
    EXPECT_EQ(tracesIn(shown()), "");

    moveOn(Work_area->Image1, Qt::NoButton, {190, 150});
    ASSERT_NE(tracesIn(shown()), "");
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    moveOn(Work_area->Image1, Qt::NoButton, {210, 150});
    EXPECT_EQ(tracesIn(shown()), "");
    Tools->TabbedNotebook1->setCurrentIndex(0);
}

TEST_F(FeedbackTest, LinePreviewMovesAndGoesWithoutTrace) {
    Work_area->PreviewLine = {10, 10, 110, 60};
    Work_area->DrawTheLine();
    QImage image = shown();
    EXPECT_EQ(image.pixel(10, 10) | 0xff000000u, kBlack);
    EXPECT_EQ(image.pixel(60, 35) | 0xff000000u, kBlack);
    EXPECT_EQ(image.pixel(60, 40) | 0xff000000u, kGrey);
    EXPECT_TRUE(QRect(QPoint(10, 10), QPoint(110, 60)).contains(boxOf(image, kBlack)));

    // Moved as the mouse drags it: the old line, its middle too, is gone.
    Work_area->RemoveTheLine();
    Work_area->PreviewLine = {10, 10, 90, 80};
    Work_area->DrawTheLine();
    image = shown();
    EXPECT_EQ(image.pixel(60, 35) | 0xff000000u, kGrey);
    EXPECT_EQ(image.pixel(50, 45) | 0xff000000u, kBlack);
    Work_area->RemoveTheLine();
    EXPECT_EQ(tracesIn(shown()), "");
}
