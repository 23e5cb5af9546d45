// Undo, redo, renew and the ring of 1001 slots, through the main window's commands.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

// Marks step `step` in the picture: pixel (0, 0) carries its number and a tag.
void makeStep(int step) {
    QImage picture = Work_area->picture().copy();
    uchar* pixel = picture.scanLine(0);
    pixel[0] = static_cast<uchar>(step);
    pixel[1] = static_cast<uchar>(step >> 8);
    pixel[2] = 0x5A;
    Work_area->setPicture(picture);
    Form1->backup();
}

// The step whose picture is shown, 0 for the opened picture.
int stepShown() {
    const uchar* pixel = Work_area->picture().constScanLine(0);
    return pixel[2] == 0x5A ? pixel[0] | (pixel[1] << 8) : 0;
}

QStringList frameFiles() {
    return QDir(RecorderFolder).entryList(QDir::Files, QDir::Name);
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        loadTestPicture(patternPicture(1200, 40));
        Recording = 0;
        setErrorBoxSink([this](const QString& text) { errors << text; });
    }
    void TearDown() override {
        setErrorBoxSink({});
        Form1->HistorySlots.setMemoryLimit(0);
        Recording = 0;
    }
    QStringList errors;
};

}  // namespace

TEST_F(HistoryTest, ThousandAndOneStepsWrapAndKeepTheLastThousand) {
    const size_t pictureBytes = static_cast<size_t>(Work_area->picture().sizeInBytes());
    for (int step = 1; step <= 1001; ++step) {
        makeStep(step);
    }
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(UndoCount, 1000);
    for (int i = 0; i < 1000; ++i) {
        Form1->Undo1Click();
    }
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(RedoCount, 1000);
    EXPECT_EQ(CurrentFrame, 2);
    // The restart picture in slot 1 was overwritten by step 1001.
    EXPECT_EQ(stepShown(), 1);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_TRUE(Form1->SpeedButton10->isEnabled());
    Form1->Undo1Click();  // nothing left to undo
    EXPECT_EQ(CurrentFrame, 2);
    // Only the changed tile is new in each slot: a tenth of a full copy per slot.
    EXPECT_LT(Form1->HistorySlots.bytes(), 1001u * pictureBytes / 10u);
}

TEST_F(HistoryTest, NewStepAfterUndoDropsTheRedoSteps) {
    makeStep(1);
    makeStep(2);
    makeStep(3);
    Form1->Undo1Click();
    Form1->Undo1Click();
    EXPECT_EQ(stepShown(), 1);
    EXPECT_EQ(RedoCount, 2);
    Form1->Redo1Click();
    EXPECT_EQ(stepShown(), 2);
    Form1->Undo1Click();
    makeStep(4);
    EXPECT_EQ(CurrentFrame, 3);
    EXPECT_EQ(RedoCount, 0);
    EXPECT_EQ(UndoCount, 2);
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    Form1->Redo1Click();
    EXPECT_EQ(stepShown(), 4);
    Form1->Undo1Click();
    EXPECT_EQ(stepShown(), 1);
}

TEST_F(HistoryTest, RenewWritesFrameOneOnlyWhileRecording) {
    const QImage opened = Work_area->picture();
    QDir(RecorderFolder).removeRecursively();
    QDir().mkpath(RecorderFolder);
    makeStep(1);
    Form1->RenewClick();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_TRUE(frameFiles().isEmpty());
    EXPECT_EQ(UndoCount, 0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());

    Recording = 1;
    makeStep(2);  // a step while recording writes its frame
    EXPECT_EQ(frameFiles(), QStringList{"example2.jpg"});
    Form1->RenewClick();
    EXPECT_EQ(frameFiles(), (QStringList{"example1.jpg", "example2.jpg"}));
    EXPECT_EQ(CurrentFrame, 1);
}

TEST_F(HistoryTest, StepWithoutMemoryKeepsPictureAndEarlierSteps) {
    makeStep(1);
    Form1->HistorySlots.setMemoryLimit(Form1->HistorySlots.bytes() + 10);
    makeStep(2);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains("not enough memory"));
    EXPECT_EQ(stepShown(), 2);  // the picture on screen is kept
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(UndoCount, 1);
    Form1->Undo1Click();
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(stepShown(), 0);
}
