// The tool palette driven through its real controls: start values, the radius
// bars' rules, tool buttons, page changes, the colour panel and the Wave button.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "tools/track_bar.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton);
}

// A radio button reacts only on its indicator and caption, at its left.
void clickRadio(QRadioButton* radio) {
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

// Moves a bar to `value` through a different value, so its change handler runs
// even when it already sits there.
void moveTo(TrackBar* bar, int value) {
    bar->setValue(value == bar->maximum() ? bar->minimum() : bar->maximum());
    bar->setValue(value);
}

QString pictureHint() {
    return Work_area->Image1->toolTip();
}
Qt::CursorShape pictureCursor() {
    return Work_area->Image1->cursor().shape();
}

}  // namespace

// Runs first: the values the palette is built with, before any handler ran.
TEST(ToolPalette, StartsWithTheFormValues) {
    ensureWindowsShown();
    EXPECT_EQ(Tools->windowTitle(), "Tools");
    EXPECT_TRUE(Tools->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Tools->font().pixelSize(), 11);
    // The four pages, then the Face and Warp pages beside them.
    ASSERT_EQ(Tools->TabbedNotebook1->count(), 6);
    EXPECT_EQ(Tools->TabbedNotebook1->tabText(0), "Distort");
    EXPECT_EQ(Tools->TabbedNotebook1->tabText(3), "Sign");
    EXPECT_EQ(Tools->TabbedNotebook1->currentIndex(), 0);
    EXPECT_TRUE(Tools->RadioButton1->isChecked());
    EXPECT_TRUE(Tools->SpeedButton1->isChecked());
    EXPECT_FALSE(Tools->SpeedButton2->isChecked());

    struct Bar {
        TrackBar* bar;
        int minimum, maximum, position;
        QLabel* value;
        const char* text;
    };
    const Bar bars[] = {{Tools->TrackBar1, 10, 500, 100, Tools->Label2, "100"},
                        {Tools->TrackBar2, 3, 60, 30, Tools->Label5, "30"},
                        {Tools->TrackBar3, 10, 500, 100, Tools->Label6, "100"},
                        {Tools->TrackBar4, 2, 30, 10, Tools->Label7, "10"},
                        {Tools->TrackBar5, 1, 255, 150, Tools->Label9, "150"},
                        {Tools->TrackBar6, 1, 100, 3, Tools->Label10, "3"},
                        // 45 computes to 51 %, but the form starts with "50".
                        {Tools->TrackBar7, 0, 89, 45, Tools->Label11, "50"}};
    for (const Bar& b : bars) {
        SCOPED_TRACE(b.text);
        EXPECT_EQ(b.bar->minimum(), b.minimum);
        EXPECT_EQ(b.bar->maximum(), b.maximum);
        EXPECT_EQ(b.bar->value(), b.position);
        EXPECT_EQ(b.value->text(), b.text);
    }

    EXPECT_EQ(Tools->ProgressBar1->minimum(), 0);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 500);
    EXPECT_EQ(Tools->signColour(), QColor(Qt::red));
    EXPECT_EQ(Tools->Panel2->toolTip(), "Select a color");
    EXPECT_EQ(SignTool, 0);
    EXPECT_EQ(PenWidth, 0);

    // Recorder: only "Start record" can be pressed; playback is off.
    EXPECT_TRUE(Tools->SpeedButton5->isEnabled());
    EXPECT_FALSE(Tools->SpeedButton6->isEnabled());
    EXPECT_FALSE(Tools->SpeedButton7->isEnabled());
    EXPECT_FALSE(Tools->SpeedButton4->isEnabled());
    EXPECT_EQ(Tools->SpeedButton5->toolTip(), "Start record");
    EXPECT_EQ(Tools->SpeedButton4->toolTip(), "Export the record as executable file");
    EXPECT_EQ(Tools->Label12->text(), "Stop.");
    EXPECT_EQ(Tools->Timer1->interval(), 100);
    EXPECT_FALSE(Tools->Timer1->isActive());
}

TEST(ToolPalette, TrackBarKeepsItsRangeInOrder) {
    TrackBar bar(3, 60, 30);
    QSignalSpy moved(&bar, &QSlider::valueChanged);
    bar.setMaxKeepingOrder(2);   // below the minimum: ignored
    bar.setMinKeepingOrder(61);  // above the maximum: ignored
    EXPECT_EQ(bar.minimum(), 3);
    EXPECT_EQ(bar.maximum(), 60);
    EXPECT_EQ(moved.count(), 0);

    bar.setMaxKeepingOrder(20);  // clamps the position and reports the move
    EXPECT_EQ(bar.value(), 20);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.front().front().toInt(), 20);
    bar.setMinKeepingOrder(20);  // min equal to max is a valid range
    EXPECT_EQ(bar.minimum(), 20);
    bar.setPosition(5);
    EXPECT_EQ(bar.value(), 20);
}

TEST(ToolPalette, RadiusBarsDeriveStrengthRangeBrushAndProgress) {
    ensureWindowsShown();
    Form1->Label1->setText("100%");
    moveTo(Tools->TrackBar1, 100);
    EXPECT_EQ(Tools->Label2->text(), "100");
    EXPECT_EQ(Tools->TrackBar2->minimum(), 10);
    EXPECT_EQ(Tools->TrackBar2->maximum(), 67);
    EXPECT_EQ(Tools->TrackBar2->value(), 33);
    EXPECT_EQ(Tools->Label5->text(), "33");
    EXPECT_EQ(BrushRadius, 100);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 400);

    // The progress maximum counts picture pixels, read from the zoom label.
    Form1->Label1->setText("200%");
    moveTo(Tools->TrackBar1, 100);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 200);
    Form1->Label1->setText("100%");
    refreshZoomPercent();

    moveTo(Tools->TrackBar3, 100);
    EXPECT_EQ(Tools->Label6->text(), "100");
    EXPECT_EQ(Tools->TrackBar4->minimum(), 2);
    EXPECT_EQ(Tools->TrackBar4->maximum(), 33);
    EXPECT_EQ(Tools->TrackBar4->value(), 10);
    EXPECT_EQ(Tools->Label7->text(), "10");
    EXPECT_EQ(BrushRadius, 100);
}

TEST(ToolPalette, RadiusDropKeepsMaximumThatWouldFallBelowMinimum) {
    ensureWindowsShown();
    Form1->Label1->setText("100%");
    moveTo(Tools->TrackBar1, 500);
    EXPECT_EQ(Tools->TrackBar2->minimum(), 50);
    EXPECT_EQ(Tools->TrackBar2->maximum(), 333);
    EXPECT_EQ(Tools->TrackBar2->value(), 167);

    // 7 is below the minimum 50 at the time it is set, so the maximum stays.
    Tools->TrackBar1->setValue(10);
    EXPECT_EQ(Tools->TrackBar2->maximum(), 333);
    EXPECT_EQ(Tools->TrackBar2->minimum(), 1);
    EXPECT_EQ(Tools->TrackBar2->value(), 3);
    EXPECT_EQ(Tools->Label5->text(), "3");
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 40);
    moveTo(Tools->TrackBar1, 100);
}

TEST(ToolPalette, SmudgeHidesStrengthAndTwirlShowsItAgain) {
    ensureWindowsShown();
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    moveTo(Tools->TrackBar3, 120);
    click(Tools->SpeedButton3);
    EXPECT_TRUE(Tools->SpeedButton3->isChecked());
    EXPECT_FALSE(Tools->SpeedButton11->isChecked());
    EXPECT_EQ(SmudgeMode, 1);
    EXPECT_EQ(DistortKind, 5);
    EXPECT_EQ(Tools->TrackBar3->value(), 50);
    EXPECT_EQ(Tools->Label6->text(), "50");
    EXPECT_EQ(BrushRadius, 50);
    EXPECT_EQ(Tools->TrackBar4->maximum(), 17);
    EXPECT_TRUE(Tools->TrackBar4->isHidden());
    EXPECT_TRUE(Tools->Label14->isHidden());
    EXPECT_TRUE(Tools->Label7->isHidden());
    EXPECT_EQ(pictureHint(), "Keep Down and move");

    click(Tools->SpeedButton12);
    EXPECT_EQ(DistortKind, 4);
    EXPECT_EQ(SmudgeMode, 0);
    EXPECT_TRUE(Tools->TrackBar4->isVisible());
    EXPECT_TRUE(Tools->Label14->isVisible());
    EXPECT_TRUE(Tools->Label7->isVisible());
    EXPECT_EQ(pictureHint(), "Click or Keep Down");
    EXPECT_EQ(Tools->TrackBar3->value(), 50);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
}

TEST(ToolPalette, PageChangesSetTheToolFamily) {
    ensureWindowsShown();
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    clickRadio(Tools->RadioButton2);
    EXPECT_EQ(DistortMode, 2);
    click(Tools->SpeedButton2);
    EXPECT_EQ(DistortKind, 2);
    EXPECT_TRUE(Tools->SpeedButton2->isChecked());

    // Twist: a clockwise twirl at the Twist radius, even after a smudge.
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    click(Tools->SpeedButton3);
    moveTo(Tools->TrackBar3, 80);
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    EXPECT_EQ(DistortMode, 0);
    EXPECT_EQ(pictureHint(), "");
    EXPECT_EQ(pictureCursor(), Qt::ArrowCursor);
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    EXPECT_EQ(DistortMode, 1);
    EXPECT_EQ(SmudgeMode, 0);
    EXPECT_EQ(DistortKind, 3);
    EXPECT_EQ(BrushRadius, 80);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 320);
    EXPECT_TRUE(Tools->SpeedButton11->isChecked());
    EXPECT_FALSE(Tools->TrackBar4->isHidden());
    EXPECT_EQ(pictureHint(), "Click or Keep Down");

    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    EXPECT_EQ(DistortMode, 0);
    EXPECT_EQ(SignTool, 1);
    EXPECT_TRUE(Tools->SpeedButton14->isChecked());
    EXPECT_EQ(pictureHint(), "");
    EXPECT_EQ(pictureCursor(), Qt::CrossCursor);

    // Distort resets the kind, the mode and the radio choice.
    moveTo(Tools->TrackBar1, 150);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    EXPECT_EQ(DistortMode, 1);
    EXPECT_EQ(SmudgeMode, 0);
    EXPECT_EQ(DistortKind, 1);
    EXPECT_EQ(BrushRadius, 150);
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 600);
    EXPECT_TRUE(Tools->SpeedButton1->isChecked());
    EXPECT_TRUE(Tools->RadioButton1->isChecked());
    EXPECT_EQ(pictureHint(), "Click or Keep Down");
    EXPECT_EQ(pictureCursor(), Qt::ArrowCursor);
    moveTo(Tools->TrackBar1, 100);
}

TEST(ToolPalette, SignPageEntryResetsPenWidthUntilTheBarMoves) {
    ensureWindowsShown();
    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    moveTo(Tools->TrackBar6, 10);
    EXPECT_EQ(PenWidth, 10);
    EXPECT_EQ(Tools->Label10->text(), "10");
    click(Tools->SpeedButton15);
    EXPECT_EQ(SignTool, 2);
    click(Tools->SpeedButton13);
    EXPECT_EQ(SignTool, 3);
    EXPECT_EQ(pictureCursor(), Qt::IBeamCursor);

    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    EXPECT_EQ(PenWidth, 3);
    EXPECT_EQ(Tools->TrackBar6->value(), 10);
    EXPECT_EQ(SignTool, 1);
    EXPECT_TRUE(Tools->SpeedButton14->isChecked());
    Tools->TrackBar6->setValue(11);
    EXPECT_EQ(PenWidth, 11);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
}

TEST(ToolPalette, ContrastLabelShowsPercentOfTheBar) {
    ensureWindowsShown();
    Tools->TrackBar7->setValue(0);
    EXPECT_EQ(Tools->Label11->text(), "0");
    Tools->TrackBar7->setValue(30);
    EXPECT_EQ(Tools->Label11->text(), "34");
    Tools->TrackBar7->setValue(89);
    EXPECT_EQ(Tools->Label11->text(), "100");
    Tools->TrackBar7->setValue(45);
    EXPECT_EQ(Tools->Label11->text(), "51");
    Tools->TrackBar5->setValue(200);
    EXPECT_EQ(Tools->Label9->text(), "200");
}

TEST(ToolPalette, WaveAsksForAPictureWhenThereIsNone) {
    ensureWindowsShown();
    QStringList messages;
    Tools->showMessage = [&messages](const QString& text) { messages << text; };
    const QImage kept = Work_area->picture();
    Work_area->setPicture(QImage());
    click(Tools->Button1);
    EXPECT_EQ(messages, QStringList{"Please input a picture"});

    Work_area->setPicture(kept);
    click(Tools->Button1);
    EXPECT_EQ(messages.size(), 1);
}

TEST(ToolPalette, ColourPanelSetsTextColourEvenWhenCancelled) {
    ensureWindowsShown();
    QList<QColor> offered;
    std::optional<QColor> answer;
    Tools->chooseColour = [&](const QColor& initial) {
        offered << initial;
        return answer;
    };
    Tools->TabbedNotebook1->setCurrentIndex(kSignPage);
    const QColor before = Tools->signColour();
    QPalette reset = Work_area->Memo1->palette();
    reset.setColor(QPalette::Text, Qt::green);
    Work_area->Memo1->setPalette(reset);

    click(Tools->Panel2);  // cancelled
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0], before);
    EXPECT_EQ(Tools->signColour(), before);
    EXPECT_EQ(Work_area->Memo1->palette().color(QPalette::Text), before);

    answer = QColor(10, 20, 200);
    click(Tools->Panel2);
    EXPECT_EQ(Tools->signColour(), QColor(10, 20, 200));
    EXPECT_EQ(Work_area->Memo1->palette().color(QPalette::Text), QColor(10, 20, 200));
    // A press that leaves the panel before release is no click.
    QTest::mousePress(Tools->Panel2, Qt::LeftButton);
    QTest::mouseRelease(Tools->Panel2, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(offered.size(), 2);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
}

TEST(ToolPalette, ThresholdOkStoresOneHistoryStep) {
    ensureWindowsShown();
    loadTestPicture(patternPicture(40, 30));
    const int frame = CurrentFrame;
    const int undo = UndoCount;
    Tools->TabbedNotebook1->setCurrentIndex(kSketchPage);
    click(Tools->SpeedButton8);
    EXPECT_EQ(CurrentFrame, frame + 1);
    EXPECT_EQ(UndoCount, undo + 1);
    EXPECT_TRUE(Form1->Undo1->isEnabled());
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
}
