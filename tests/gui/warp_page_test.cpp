// The Warp page driven through its real controls: a drag pushes and the view follows before the
// release, the release is one step that one Undo takes back, Alt reconstructs, the freeze mask
// protects, the Amount slider shows the field at 0 and 200 %, and a face change and a stroke
// stay one resample of the base.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "app/main_window.h"
#include "app/picture_editing.h"
#include "app/shared_state.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "tools/warp_page.h"
#include "warp/warp_session.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

using warp::Brush;
using warp::BrushParameter;

WarpPage* showWarpPage() {
    Tools->TabbedNotebook1->setCurrentIndex(kWarpPage);
    return Tools->warpPage;
}

void drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = {}) {
    PictureControl* image = Work_area->Image1;
    QTest::mousePress(image, Qt::LeftButton, keys, from);
    for (int k = 1; k <= 8; ++k) {
        QMouseEvent move(QEvent::MouseMove, QPointF(from + (to - from) * k / 8),
                         image->mapToGlobal(QPointF(from + (to - from) * k / 8)), Qt::NoButton,
                         Qt::LeftButton, keys);
        QApplication::sendEvent(image, &move);
    }
}

void release(QPoint at, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseRelease(Work_area->Image1, Qt::LeftButton, keys, at);
}

QImage shown() {
    return Work_area->Image1->grab().toImage().convertToFormat(QImage::Format_BGR888);
}

}  // namespace

TEST(WarpPage, PushesLiveCommitsOneStepReconstructsFreezesAndScales) {
    ensureWindowsShown();
    const QImage original = patternPicture(300, 200);
    loadTestPicture(original);
    WarpPage* page = showWarpPage();
    ASSERT_EQ(page->brush(), Brush::Push);
    page->parameterSlider(BrushParameter::Size)->setValue(40);
    page->parameterSlider(BrushParameter::Strength)->setValue(100);
    page->parameterSlider(BrushParameter::Hardness)->setValue(60);

    // The view follows the drag before the release; the picture changes at the release only.
    drag({100, 100}, {130, 100});
    EXPECT_EQ(Work_area->picture(), original);
    EXPECT_NE(shown(), original);
    EXPECT_GT(page->lastDabMilliseconds(), 0);
    const int undoBefore = UndoCount;
    release({130, 100});
    EXPECT_EQ(UndoCount, undoBefore + 1);
    const QImage pushed = Work_area->picture();
    EXPECT_NE(pushed, original);
    EXPECT_EQ(pushed.pixel(5, 5), original.pixel(5, 5));
    EXPECT_EQ(shown(), pushed) << "the view shows what was stored";

    // Alt reconstructs with any brush: a strong stroke over the push takes it back.
    page->parameterSlider(BrushParameter::Size)->setValue(120);
    page->parameterSlider(BrushParameter::Hardness)->setValue(100);
    drag({100, 100}, {140, 100}, Qt::AltModifier);
    release({140, 100}, Qt::AltModifier);
    EXPECT_EQ(Work_area->picture(), original);
    EXPECT_EQ(UndoCount, undoBefore + 2);
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), pushed);

    // Undo, again from a clean field: frozen places never move under the brushes.
    while (UndoCount > undoBefore) {
        Form1->Undo1Click();
    }
    ASSERT_EQ(Work_area->picture(), original);
    page->brushButton(Brush::Freeze)->click();
    page->parameterSlider(BrushParameter::Size)->setValue(20);
    drag({150, 100}, {150, 100});
    release({150, 100});
    EXPECT_EQ(UndoCount, undoBefore) << "the mask is no step";
    page->brushButton(Brush::Push)->click();
    page->parameterSlider(BrushParameter::Size)->setValue(80);
    drag({120, 100}, {160, 100});
    release({160, 100});
    const QImage frozenPush = Work_area->picture();
    EXPECT_NE(frozenPush, original);
    for (int y = 90; y <= 110; ++y) {
        for (int x = 140; x <= 160; ++x) {
            if (std::hypot(x - 150, y - 100) < 12) {
                ASSERT_EQ(frozenPush.pixel(x, y), original.pixel(x, y)) << x << "," << y;
            }
        }
    }

    // Amount 0 shows the base; 200 % doubles every offset of the field.
    QSlider* amount = page->parameterSlider(BrushParameter::Amount);
    amount->setValue(0);
    const QImage atNothing = shown();
    for (int y = 0; y < original.height(); ++y) {
        for (int x = 0; x < original.width(); ++x) {
            // The frozen place is tinted red on the page.
            if (std::hypot(x - 150, y - 100) > 22) {
                ASSERT_EQ(atNothing.pixel(x, y), original.pixel(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(qRed(atNothing.pixel(150, 100)), qRed(original.pixel(150, 100)));
    amount->setValue(200);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);  // stores the amount
    const warp::WarpSession& session = editing::warpSession();
    QImage doubled = original.copy();
    warp::DisplacementField twice = session.field();
    for (int j = 0; j < twice.rows(); ++j) {
        for (int i = 0; i < twice.columns(); ++i) {
            twice.setOffset(i, j, session.field().offset(i, j) * 2);
        }
    }
    warp::renderRegion(original, twice, 1, original.rect(), doubled);
    EXPECT_EQ(Work_area->picture(), doubled);
    EXPECT_EQ(UndoCount, undoBefore + 2);
    // Renew clears the field.
    Form1->RenewClick();
    EXPECT_TRUE(editing::warpSession().field().touched().isEmpty());
}
