// The palette's whole-picture tools through their buttons: the Twist page's wave and the
// Sketch page's edge image and its two renderings.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/pencil_sketch.h"
#include "effects/progress.h"
#include "effects/wave.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/palette_progress.h"
#include "workarea/work_area.h"

namespace {

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(3, 3));
}

class WholePictureToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
        loadTestPicture(patternPicture(120, 90));
        Tools->showMessage = [this](const QString& text) { messages << text; };
    }
    void TearDown() override {
        Tools->showMessage = {};
        Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    }
    QStringList messages;
};

TEST_F(WholePictureToolsTest, EachWavePressIsOneHistoryStep) {
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    const QImage opened = Work_area->picture().copy();
    const int frame = CurrentFrame;
    QImage expected = opened.copy();
    effects::NoProgress none;
    for (int press = 1; press <= 2; ++press) {
        click(Tools->Button1);
        effects::wave(expected, 2, 6, 2, none);
        EXPECT_EQ(Work_area->picture(), expected) << "press " << press;
        EXPECT_EQ(CurrentFrame, frame + press);
        EXPECT_EQ(UndoCount, press);
    }
    EXPECT_EQ(Tools->ProgressBar1->value(), 0);
    EXPECT_TRUE(messages.isEmpty());
    Form1->Undo1->trigger();
    Form1->Undo1->trigger();
    EXPECT_EQ(Work_area->picture(), opened);
}

// A picture taller than the bar's range keeps the bar moving: back to 0 at the maximum.
TEST(WavePictureProgress, BarCyclesOnTallPictures) {
    QProgressBar bar;
    bar.setRange(0, 4);
    CyclingPaletteProgress progress(&bar);
    QList<int> seen;
    for (int row = 0; row < 9; ++row) {
        progress.advance();
        seen << bar.value();
    }
    EXPECT_EQ(seen, (QList<int>{1, 2, 3, 0, 1, 2, 3, 0, 1}));
}

TEST_F(WholePictureToolsTest, EnteringTheSketchPageKeepsTheEdgeImageOnly) {
    const QImage opened = Work_area->picture().copy();
    const int frame = CurrentFrame;
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(CurrentFrame, frame);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_FALSE(Form1->Undo1->isEnabled());
    EXPECT_EQ(SketchBitmap, effects::edgeImage(opened));
    EXPECT_EQ(DistortMode, 0);
}

TEST_F(WholePictureToolsTest, SketchOksRenderTheKeptEdgeImageEachTime) {
    const QImage edges = effects::edgeImage(Work_area->picture());
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    const int frame = CurrentFrame;

    Tools->TrackBar5->setValue(200);
    click(Tools->SpeedButton8);
    const QImage blackAndWhite = effects::thresholdSketch(edges, 200);
    EXPECT_EQ(Work_area->picture(), blackAndWhite);
    click(Tools->SpeedButton8);  // from the kept edge image again, not from the rendering
    EXPECT_EQ(Work_area->picture(), blackAndWhite);
    EXPECT_EQ(CurrentFrame, frame + 2);

    Tools->TrackBar7->setValue(60);
    click(Tools->SpeedButton9);
    EXPECT_EQ(Work_area->picture(), effects::contrastSketch(edges, 60));
    click(Tools->SpeedButton9);
    EXPECT_EQ(Work_area->picture(), effects::contrastSketch(edges, 60));
    EXPECT_EQ(CurrentFrame, frame + 4);
    EXPECT_EQ(UndoCount, 4);
    EXPECT_EQ(Work_area->picture().format(), QImage::Format_BGR888);
}

TEST_F(WholePictureToolsTest, SketchOksWithoutAPictureChangeNothing) {
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    Work_area->setPicture(QImage());
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    EXPECT_TRUE(SketchBitmap.isNull());
    const int frame = CurrentFrame;
    click(Tools->SpeedButton8);
    click(Tools->SpeedButton9);
    EXPECT_TRUE(Work_area->picture().isNull());
    Form1->backup();  // nothing to record
    EXPECT_EQ(CurrentFrame, frame);
}

}  // namespace
