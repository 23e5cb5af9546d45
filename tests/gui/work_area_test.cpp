// Mouse dispatch of the picture window: clicks, held presses, releases outside,
// panning and the tool cursor, sent as real mouse events to Image1.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <vector>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/progress.h"
#include "effects/smudge.h"
#include "effects/spherical.h"
#include "effects/stretch.h"
#include "effects/twirl.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

class WorkAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        Tools->TabbedNotebook1->setCurrentIndex(0);
        Tools->TrackBar1->setValue(100);
        Tools->TrackBar2->setValue(30);
        DistortMode = 1;
        DistortKind = 1;
        SmudgeMode = 0;
        SelectMode = 0;
        loadTestPicture(patternPicture(605, 469));
        errors.clear();
        setErrorBoxSink([this](const QString& text) { errors << text; });
    }
    void TearDown() override { setErrorBoxSink({}); }

    // The picture after `times` steps of `effect` at `centre` from the current one.
    template <typename Effect>
    static QImage expected(Effect effect, QPoint centre, int times, int radius = 100,
                           int strength = 30) {
        QImage picture = Work_area->picture().copy();
        effects::NoProgress none;
        for (int i = 0; i < times; ++i) {
            effect(picture, centre.x(), centre.y(), radius, strength, none);
        }
        return picture;
    }

    QStringList errors;
};

}  // namespace

TEST_F(WorkAreaTest, ClickBulgesOnceAndStoresOneStep) {
    const QImage want = expected(&effects::bulge, {300, 200}, 1);
    ASSERT_NE(want, Work_area->picture());
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    EXPECT_EQ(ClickPoint, (IntPoint{300, 200}));
    EXPECT_EQ(ButtonHeld, 1);
    EXPECT_TRUE(Work_area->Timer1->isActive());
    releaseOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    EXPECT_FALSE(Work_area->Timer1->isActive());
    EXPECT_EQ(ButtonHeld, 0);
    EXPECT_EQ(Work_area->picture(), want);
    EXPECT_EQ(EffectRadius, 100);
    EXPECT_EQ(EffectStrength, 30);
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_TRUE(Form1->SpeedButton5->isEnabled());
    EXPECT_EQ(Tools->ProgressBar1->value(), 0);
}

TEST_F(WorkAreaTest, ShrinkToolPinches) {
    Tools->SpeedButton2->click();
    EXPECT_EQ(DistortKind, 2);
    const QImage want = expected(&effects::pinch, {250, 220}, 1);
    pressOn(Work_area->Image1, Qt::LeftButton, {250, 220});
    releaseOn(Work_area->Image1, Qt::LeftButton, {250, 220});
    EXPECT_EQ(Work_area->picture(), want);
}

TEST_F(WorkAreaTest, HeldPressRepeatsEverySecondAtThePressPoint) {
    const QImage want = expected(&effects::bulge, {300, 200}, 3);
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    // Moving while held does not move the effect's centre.
    moveOn(Work_area->Image1, Qt::LeftButton, {320, 230});
    QTest::qWait(2500);
    releaseOn(Work_area->Image1, Qt::LeftButton, {320, 230});
    EXPECT_EQ(Work_area->picture(), want);
    EXPECT_EQ(UndoCount, 1);
}

TEST_F(WorkAreaTest, ReleaseOutsideStoresTheStepWithoutDistortion) {
    const QImage before = Work_area->picture();
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    releaseOn(Work_area->Image1, Qt::LeftButton, {700, 600});
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(UndoCount, 1);
}

TEST_F(WorkAreaTest, ZoomConvertsThePressPoint) {
    Form1->Label1->setText("200%");
    Work_area->fitPictureToZoom();
    pressOn(Work_area->Image1, Qt::LeftButton, {301, 201});
    releaseOn(Work_area->Image1, Qt::LeftButton, {301, 201});
    // 150.5 and 100.5 round to the even neighbour.
    EXPECT_EQ(ClickPoint, (IntPoint{150, 100}));
    EXPECT_EQ(EffectRadius, 50);
    EXPECT_EQ(EffectStrength, 15);
    Form1->Label1->setText("100%");
}

TEST_F(WorkAreaTest, ZeroStrengthLeavesThePictureWithoutErrors) {
    // At 1000 % the smallest "Cur." position 3 rounds to strength 0.
    Form1->Label1->setText("1000%");
    Work_area->fitPictureToZoom();
    Tools->TrackBar2->setValue(Tools->TrackBar2->minimum());
    const QImage before = Work_area->picture();
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    QTest::qWait(1200);
    releaseOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    EXPECT_EQ(EffectStrength, 0);
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    Form1->Label1->setText("100%");
}

TEST_F(WorkAreaTest, SmudgeModeHasNoRepeatAndNoClickDistortion) {
    Tools->TabbedNotebook1->setCurrentIndex(1);
    Tools->SpeedButton3->click();
    ASSERT_EQ(SmudgeMode, 1);
    ASSERT_EQ(DistortKind, 5);
    const QImage before = Work_area->picture();
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    EXPECT_FALSE(Work_area->Timer1->isActive());
    releaseOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    EXPECT_EQ(Work_area->picture(), before);
}

TEST_F(WorkAreaTest, SmudgeRunsOnceOnReleaseFromThePressPoint) {
    Tools->TabbedNotebook1->setCurrentIndex(1);
    Tools->SpeedButton3->click();
    ASSERT_EQ(Tools->TrackBar3->value(), 50);
    const QImage before = Work_area->picture().copy();
    const int frame = CurrentFrame;
    pressOn(Work_area->Image1, Qt::LeftButton, {300, 200});
    moveOn(Work_area->Image1, Qt::LeftButton, {305, 203});
    moveOn(Work_area->Image1, Qt::LeftButton, {309, 205});
    EXPECT_EQ(Work_area->picture(), before);  // nothing happens while the button is held
    releaseOn(Work_area->Image1, Qt::LeftButton, {312, 206});

    QImage expected = before.copy();
    effects::NoProgress none;
    effects::smudge(expected, 300, 200, 312, 206, 50, none);
    EXPECT_NE(expected, before);
    EXPECT_EQ(Work_area->picture(), expected);
    EXPECT_EQ(CurrentFrame, frame + 1);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(BrushRadius, 50);
    EXPECT_EQ(Tools->ProgressBar1->value(), 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(WorkAreaTest, RightDragPansTheView) {
    Form1->Label1->setText("400%");
    Work_area->fitPictureToZoom();
    QApplication::processEvents();
    QScrollBar* h = Work_area->ScrollBox->horizontalScrollBar();
    QScrollBar* v = Work_area->ScrollBox->verticalScrollBar();
    h->setValue(300);
    v->setValue(200);
    pressOn(Work_area->Image1, Qt::RightButton, {600, 500});
    EXPECT_EQ(ButtonHeld, 1);
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
    moveOn(Work_area->Image1, Qt::RightButton, {500, 450});
    EXPECT_EQ(h->value(), 400);
    EXPECT_EQ(v->value(), 250);
    releaseOn(Work_area->Image1, Qt::RightButton, {600, 500});
    EXPECT_EQ(ButtonHeld, 0);
    // A right press stores no step.
    EXPECT_EQ(UndoCount, 0);
    Form1->Label1->setText("100%");
    Work_area->fitPictureToZoom();
}

TEST_F(WorkAreaTest, CursorFollowsTheTool) {
    DistortMode = 0;
    SignTool = 2;
    Work_area->setsigncursor();
    EXPECT_EQ(Work_area->Image1->cursor().shape(), Qt::BitmapCursor);
    EXPECT_FALSE(Work_area->Image1->cursor().pixmap().isNull());
    SignTool = 3;
    Work_area->setsigncursor();
    EXPECT_EQ(Work_area->Image1->cursor().shape(), Qt::IBeamCursor);
    SignTool = 0;  // unchanged for an unknown sign tool
    Work_area->setsigncursor();
    EXPECT_EQ(Work_area->Image1->cursor().shape(), Qt::IBeamCursor);
    SignTool = 1;
    DistortMode = 1;
    DistortKind = 2;
    Work_area->setsigncursor();
    EXPECT_EQ(Work_area->Image1->cursor().shape(), Qt::ArrowCursor);
    SignTool = 0;
}

TEST_F(WorkAreaTest, DispatchTableRunsOnlyKnownTools) {
    const QImage before = Work_area->picture();
    DistortMode = 1;
    DistortKind = 5;
    Work_area->distortAt({300, 200});
    DistortMode = 0;
    DistortKind = 1;
    Work_area->distortAt({300, 200});
    EXPECT_EQ(Work_area->picture(), before);
    DistortMode = 1;
    Work_area->distortAt({300, 200});
    EXPECT_NE(Work_area->picture(), before);
}

TEST_F(WorkAreaTest, TwistButtonsRouteAClickToTheirTwirl) {
    Tools->TabbedNotebook1->setCurrentIndex(1);
    Tools->TrackBar3->setValue(120);
    Tools->TrackBar4->setValue(20);
    struct Case {
        QToolButton* button;
        void (*effect)(QImage&, int, int, int, int, effects::Progress&);
    };
    for (const Case& c : {Case{Tools->SpeedButton11, &effects::twirlClockwise},
                          Case{Tools->SpeedButton12, &effects::twirlAnticlockwise}}) {
        c.button->click();
        const QImage want = expected(c.effect, {280, 230}, 1, 120, 20);
        pressOn(Work_area->Image1, Qt::LeftButton, {280, 230});
        releaseOn(Work_area->Image1, Qt::LeftButton, {280, 230});
        EXPECT_EQ(Work_area->picture(), want);
    }
    EXPECT_EQ(EffectRadius, 120);
    EXPECT_EQ(EffectStrength, 20);
}

TEST_F(WorkAreaTest, DistortModesRouteAClickToStretchAndSqueeze) {
    Tools->TrackBar2->setValue(40);
    struct Case {
        QRadioButton* mode;
        QToolButton* tool;
        std::function<void(QImage&, int, int, int, int, effects::Progress&)> effect;
    };
    const std::vector<Case> cases = {
        {Tools->RadioButton2, Tools->SpeedButton1, effects::stretchVertical},
        {Tools->RadioButton2, Tools->SpeedButton2, effects::squeezeVertical},
        {Tools->RadioButton3, Tools->SpeedButton1, effects::stretchHorizontal},
        {Tools->RadioButton3, Tools->SpeedButton2, effects::squeezeHorizontal},
        {Tools->RadioButton1, Tools->SpeedButton2, effects::pinch},
    };
    for (const Case& c : cases) {
        c.mode->click();
        c.tool->click();
        const QImage want = expected(c.effect, {300, 210}, 1, 100, 40);
        ASSERT_NE(want, Work_area->picture());
        pressOn(Work_area->Image1, Qt::LeftButton, {300, 210});
        releaseOn(Work_area->Image1, Qt::LeftButton, {300, 210});
        EXPECT_EQ(Work_area->picture(), want) << c.mode->text().toStdString();
    }
}

TEST_F(WorkAreaTest, StretchAtStrengthEqualToRadiusChangesNothingQuietly) {
    // At 450 % the positions 10 and 7 both round to 2 picture pixels.
    Form1->Label1->setText("450%");
    Work_area->fitPictureToZoom();
    Tools->RadioButton2->click();
    Tools->TrackBar1->setValue(10);
    Tools->TrackBar2->setValue(7);
    const QImage before = Work_area->picture();
    Work_area->distortAt({300, 200});
    EXPECT_EQ(EffectRadius, 2);
    EXPECT_EQ(EffectStrength, 2);
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_TRUE(errors.isEmpty());
    Form1->Label1->setText("100%");
}
