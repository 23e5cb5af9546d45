// The Sign page: straight lines with their preview, pen strokes and the text box, driven by
// real mouse events on the picture and on the text box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/sign_drawing.h"
#include "formats/colour_value.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr uint32_t kRed = colour::make(255, 0, 0);

uint32_t pixelAt(const QImage& picture, int x, int y) {
    const uchar* p = picture.constScanLine(y) + 3 * x;
    return colour::make(p[2], p[1], p[0]);
}

// Pixels that differ between two pictures of one size, with their bounding box.
struct Difference {
    int count = 0;
    QRect box;
    bool allOf(uint32_t colour, const QImage& after, const QImage& before) const {
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                if (pixelAt(after, x, y) != pixelAt(before, x, y) &&
                    pixelAt(after, x, y) != colour) {
                    return false;
                }
            }
        }
        return true;
    }
};

Difference differenceOf(const QImage& after, const QImage& before) {
    Difference d;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (pixelAt(after, x, y) != pixelAt(before, x, y)) {
                ++d.count;
                d.box |= QRect(x, y, 1, 1);
            }
        }
    }
    return d;
}

// The widget of the text box under a point given relative to the box, and the point
// relative to that widget.
std::pair<QWidget*, QPoint> memoTarget(QPoint inMemo) {
    QWidget* memo = Work_area->Memo1;
    QWidget* child = memo->childAt(inMemo);
    QWidget* target = child != nullptr ? child : memo;
    return {target, target->mapFrom(memo, inMemo)};
}

void memoPress(Qt::MouseButton button, QPoint inMemo) {
    const auto [target, at] = memoTarget(inMemo);
    QTest::mousePress(target, button, Qt::NoModifier, at);
}

// Moves with the left button held, then releases, all on the widget the press went to (it
// keeps the mouse while the button is down). The points are followed on the screen, so a
// box that moves under the mouse sees them as a real mouse would give them.
void memoDrag(QPoint from, QPoint to) {
    const auto [target, at] = memoTarget(from);
    const QPoint start = target->mapToGlobal(at);
    const QPoint shift = to - from;
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(target, target->mapFromGlobal(start + shift / 2));
    QTest::mouseMove(target, target->mapFromGlobal(start + shift));
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier,
                        target->mapFromGlobal(start + shift));
}

class SignsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        Tools->TabbedNotebook1->setCurrentIndex(0);
        loadTestPicture(patternPicture(400, 300));
        Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
        Tools->chooseColour = [](const QColor&) { return QColor(Qt::red); };
        Tools->Panel2Click();
        Work_area->Memo1->hide();
        Work_area->Memo1->resize(225, 73);
        opened = Work_area->picture().copy();
    }

    static void useTool(QToolButton* button) {
        button->click();
        QCoreApplication::processEvents();
    }

    // The text box shown by a text press at control point `at`.
    static void placeTextBox(QPoint at) {
        useTool(Tools->SpeedButton13);
        pressOn(Work_area->Image1, Qt::LeftButton, at);
        releaseOn(Work_area->Image1, Qt::LeftButton, at);
    }

    // Affirms the text box with a double click in its middle.
    static void affirmText() {
        QWidget* memo = Work_area->Memo1;
        const auto [target, at] = memoTarget(QPoint(memo->width() / 2, memo->height() / 2));
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, at);
    }

    QImage opened;
};

TEST_F(SignsTest, LinePreviewsEvenAndDrawsToTheReleasePointAsOneStep) {
    ASSERT_EQ(SignTool, 1);
    ASSERT_EQ(PenWidth, 3);
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, {10, 10});
    EXPECT_EQ(Work_area->LineStart, (IntPoint{10, 10}));
    EXPECT_EQ(Work_area->LineAnchor, (IntPoint{10, 10}));
    QTest::mouseMove(image, {15, 12});
    EXPECT_EQ(Work_area->PreviewLine, (IntQuad{10, 10, 16, 12}));
    ASSERT_TRUE(Work_area->feedbackOverlay()->line().has_value());
    EXPECT_EQ(*Work_area->feedbackOverlay()->line(), QLine(10, 10, 16, 12));
    // Nothing is drawn into the picture before the release.
    EXPECT_EQ(Work_area->picture(), opened);

    releaseOn(image, Qt::LeftButton, {15, 12});
    EXPECT_FALSE(Work_area->feedbackOverlay()->line().has_value());
    QImage want = opened.copy();
    effects::drawSignLine(want, {10, 10}, {15, 12}, {kRed, 3});
    EXPECT_EQ(Work_area->picture(), want);
    EXPECT_EQ(UndoCount, 1);
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), opened);
}

TEST_F(SignsTest, LineTakesTheColourChosenDuringTheDragAndTheWidthAtRelease) {
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, {20, 100});
    QTest::mouseMove(image, {120, 100});
    Tools->chooseColour = [](const QColor&) { return QColor(0, 0, 255); };
    Tools->Panel2Click();
    Tools->TrackBar6->setValue(9);
    releaseOn(image, Qt::LeftButton, {120, 100});
    const QImage& drawn = Work_area->picture();
    const uint32_t blue = colour::make(0, 0, 255);
    for (int y = 96; y <= 104; ++y) {
        EXPECT_EQ(pixelAt(drawn, 70, y), blue) << y;
    }
    EXPECT_EQ(pixelAt(drawn, 70, 95), pixelAt(opened, 70, 95));
    EXPECT_EQ(pixelAt(drawn, 70, 105), pixelAt(opened, 70, 105));
    // The text box's font follows the panel too.
    EXPECT_EQ(Work_area->memoFontColour(), QColor(0, 0, 255));
}

TEST_F(SignsTest, OnePixelPenIsDashedAndTwoPixelPenIsSolid) {
    PictureControl* image = Work_area->Image1;
    Tools->TrackBar6->setValue(1);
    pressOn(image, Qt::LeftButton, {10, 50});
    releaseOn(image, Qt::LeftButton, {70, 50});
    const QImage dashed = Work_area->picture().copy();
    for (int x = 10; x < 70; ++x) {
        const bool drawn = (x - 10) % 24 < 18;
        EXPECT_EQ(pixelAt(dashed, x, 50) == kRed, drawn) << x;
    }
    EXPECT_NE(pixelAt(dashed, 70, 50), kRed);  // the end point is not drawn
    EXPECT_EQ(pixelAt(dashed, 40, 49), pixelAt(opened, 40, 49));
    EXPECT_EQ(pixelAt(dashed, 40, 51), pixelAt(opened, 40, 51));

    Tools->TrackBar6->setValue(2);
    pressOn(image, Qt::LeftButton, {10, 150});
    releaseOn(image, Qt::LeftButton, {70, 150});
    const QImage& solid = Work_area->picture();
    for (int x = 12; x < 68; ++x) {
        EXPECT_EQ(pixelAt(solid, x, 149), kRed) << x;
        EXPECT_EQ(pixelAt(solid, x, 150), kRed) << x;
        EXPECT_EQ(pixelAt(solid, x, 148), pixelAt(opened, x, 148)) << x;
        EXPECT_EQ(pixelAt(solid, x, 151), pixelAt(opened, x, 151)) << x;
    }
    EXPECT_EQ(UndoCount, 2);
}

TEST_F(SignsTest, PenStrokeOfManyMovesIsOneStep) {
    useTool(Tools->SpeedButton15);
    ASSERT_EQ(SignTool, 2);
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, {50, 50});
    // The pen's colour is the one at the press.
    Tools->chooseColour = [](const QColor&) { return QColor(0, 255, 0); };
    Tools->Panel2Click();
    const QPoint path[] = {{80, 60}, {110, 90}, {120, 140}, {90, 170}};
    for (const QPoint& at : path) {
        QTest::mouseMove(image, at);
    }
    releaseOn(image, Qt::LeftButton, path[3]);
    QImage want = opened.copy();
    effects::DashPhase dash;
    QPoint from(50, 50);
    for (const QPoint& at : path) {
        effects::drawSignSegment(want, from, at, {kRed, 3}, dash);
        from = at;
    }
    EXPECT_EQ(Work_area->picture(), want);
    EXPECT_EQ(UndoCount, 1);
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 0);
}

TEST_F(SignsTest, SignsReachingPastThePictureAreClipped) {
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, {390, 20});
    QTest::mouseMove(image, {450, 20});
    releaseOn(image, Qt::LeftButton, {450, 20});
    const Difference line = differenceOf(Work_area->picture(), opened);
    EXPECT_GT(line.count, 0);
    EXPECT_EQ(line.box.right(), 399);

    useTool(Tools->SpeedButton15);
    const QImage before = Work_area->picture().copy();
    pressOn(image, Qt::LeftButton, {200, 295});
    QTest::mouseMove(image, {200, 340});
    QTest::mouseMove(image, {-30, 340});
    releaseOn(image, Qt::LeftButton, {-30, 340});
    const Difference stroke = differenceOf(Work_area->picture(), before);
    EXPECT_GT(stroke.count, 0);
    EXPECT_EQ(stroke.box.bottom(), 299);
    EXPECT_EQ(UndoCount, 2);
}

TEST_F(SignsTest, LeavingTheSignPageMidDragDrawsNothingStray) {
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, {100, 100});
    QTest::mouseMove(image, {200, 150});
    ASSERT_TRUE(Work_area->feedbackOverlay()->line().has_value());
    Tools->TabbedNotebook1->setCurrentIndex(0);
    EXPECT_FALSE(Work_area->feedbackOverlay()->line().has_value());
    QTest::mouseMove(image, {220, 160});
    releaseOn(image, Qt::LeftButton, {220, 160});
    // Neither the line nor a distortion of the new page reached the picture.
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 0);

    // A stroke keeps what it drew before the page changed, as one step, and no more.
    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    useTool(Tools->SpeedButton15);
    pressOn(image, Qt::LeftButton, {50, 200});
    QTest::mouseMove(image, {150, 200});
    const QImage stroke = Work_area->picture().copy();
    ASSERT_NE(stroke, opened);
    Tools->TabbedNotebook1->setCurrentIndex(1);
    EXPECT_EQ(UndoCount, 1);
    QTest::mouseMove(image, {150, 280});
    releaseOn(image, Qt::LeftButton, {150, 280});
    EXPECT_EQ(Work_area->picture(), stroke);
    EXPECT_EQ(UndoCount, 1);
}

TEST_F(SignsTest, TextPressShowsTheBoxAndASecondPressMovesIt) {
    placeTextBox({40, 30});
    QPlainTextEdit* memo = Work_area->Memo1;
    ASSERT_TRUE(memo->isVisible());
    EXPECT_EQ(memo->pos(), QPoint(40, 30));
    EXPECT_EQ(memo->size(), QSize(225, 73));
    EXPECT_EQ(memo->toPlainText(), "Please input text at here");
    EXPECT_EQ(memo->toolTip(), "Double click to affirm, and right-click to edit font");
    EXPECT_EQ(memo->font().pixelSize(), 21);
    EXPECT_EQ(Work_area->memoFontColour(), QColor(Qt::red));

    memo->setPlainText("changed");
    pressOn(Work_area->Image1, Qt::LeftButton, {120, 90});
    EXPECT_EQ(memo->pos(), QPoint(120, 90));
    EXPECT_EQ(memo->toPlainText(), "Please input text at here");
    EXPECT_EQ(Work_area->Label1->pos(), QPoint(120, 90));
    // Nothing is written before the text is affirmed.
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 0);
}

TEST_F(SignsTest, DoubleClickWritesTheShownTextAsOneStep) {
    placeTextBox({30, 40});
    affirmText();
    EXPECT_FALSE(Work_area->Memo1->isVisible());
    EXPECT_FALSE(Work_area->Label1->isVisible());
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(MouseOverPicture, 1);

    const QImage& written = Work_area->picture();
    const Difference text = differenceOf(written, opened);
    EXPECT_TRUE(text.allOf(kRed, written, opened));
    // The whole text arrives: "Please input text at here" in a 21-pixel font is a few
    // hundred pixels of ink, one line of glyphs below the box's corner.
    EXPECT_GT(text.count, 300);
    EXPECT_GE(text.box.left(), 30);
    EXPECT_GE(text.box.top(), 40);
    EXPECT_GT(text.box.width(), 150);
    EXPECT_GE(text.box.height(), 12);
    EXPECT_LE(text.box.height(), 30);

    // The written ink is the label's, pixel for pixel.
    QLabel* label = Work_area->Label1;
    QImage ink(label->size(), QImage::Format_RGB32);
    label->render(&ink);
    // No glyph pixel is blended with the background, or part of the text would stay behind.
    const QRgb background = label->palette().color(QPalette::Window).rgb() & 0xffffff;
    int inkPixels = 0;
    for (int r = 0; r < ink.height(); ++r) {
        for (int c = 0; c < ink.width(); ++c) {
            const QRgb shown = ink.pixel(c, r) & 0xffffff;
            ASSERT_TRUE(shown == background || shown == 0xff0000) << c << "," << r;
            if (shown == 0xff0000) {
                ++inkPixels;
                EXPECT_EQ(pixelAt(written, 30 + c, 40 + r), kRed) << c << "," << r;
            }
        }
    }
    EXPECT_EQ(inkPixels, text.count);

    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), opened);
}

TEST_F(SignsTest, TextKeepsItsScreenSizeAtAnyZoom) {
    placeTextBox({20, 20});
    affirmText();
    const Difference atFull = differenceOf(Work_area->picture(), opened);
    Form1->Undo1Click();

    Form1->Label1->setText("200%");
    Work_area->fitPictureToZoom();
    placeTextBox({100, 60});
    affirmText();
    const Difference atDouble = differenceOf(Work_area->picture(), opened);
    EXPECT_EQ(atDouble.count, atFull.count);
    EXPECT_EQ(atDouble.box.size(), atFull.box.size());
    // Only the position is converted: control point (100, 60) is picture pixel (50, 30).
    EXPECT_EQ(atDouble.box.topLeft() - QPoint(50, 30), atFull.box.topLeft() - QPoint(20, 20));
    Form1->Label1->setText("100%");
    Work_area->fitPictureToZoom();
}

TEST_F(SignsTest, TextBoxResizesAtReleaseNeverBelowFifteen) {
    placeTextBox({50, 50});
    QPlainTextEdit* memo = Work_area->Memo1;
    memoDrag({220, 68}, {-80, 68});
    EXPECT_EQ(memo->size(), QSize(15, 73));

    memo->resize(225, 73);
    memoDrag({220, 68}, {120, 68});
    EXPECT_EQ(memo->size(), QSize(125, 73));
    EXPECT_EQ(Work_area->MemoSizing, 0);

    memo->resize(225, 73);
    memoDrag({220, 68}, {260, 98});
    EXPECT_EQ(memo->size(), QSize(265, 103));
    EXPECT_EQ(memo->pos(), QPoint(50, 50));
}

TEST_F(SignsTest, RightPressChoosesTheFontAndCornersStillWork) {
    placeTextBox({60, 40});
    QPlainTextEdit* memo = Work_area->Memo1;
    int asked = 0;
    QFont offered;
    Work_area->chooseFont = [&](const QFont& initial) -> std::optional<QFont> {
        ++asked;
        offered = initial;
        QFont bigger = initial;
        bigger.setPixelSize(30);
        return bigger;
    };
    memoPress(Qt::RightButton, {100, 30});
    QTest::mouseRelease(memoTarget({100, 30}).first, Qt::RightButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(offered.pixelSize(), 21);
    EXPECT_EQ(memo->font().pixelSize(), 30);

    // A later drag by the top-left corner moves the box and the label with it.
    memoDrag({2, 2}, {32, 22});
    EXPECT_EQ(memo->pos(), QPoint(90, 60));
    EXPECT_EQ(Work_area->Label1->pos(), QPoint(90, 60));
    EXPECT_EQ(Work_area->MemoMoving, 0);
    memoDrag({220, 68}, {200, 78});
    EXPECT_EQ(memo->size(), QSize(205, 83));

    // A cancelled choice keeps the font.
    Work_area->chooseFont = [&](const QFont&) -> std::optional<QFont> {
        ++asked;
        return std::nullopt;
    };
    memoPress(Qt::RightButton, {100, 30});
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(memo->font().pixelSize(), 30);
    QTest::mouseRelease(memoTarget({100, 30}).first, Qt::RightButton);
}

}  // namespace
