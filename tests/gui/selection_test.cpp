// The selection mode and the zone commands: cut out, copy and paste through the clipboard,
// with the zone dragged by real mouse events.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/zone_crop.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        if (SelectMode != 0) {
            Form1->SpeedButton2Click();
        }
        Tools->TabbedNotebook1->setCurrentIndex(0);
        Form1->Label1->setText("100%");
        loadTestPicture(patternPicture(100, 80));
        opened = Work_area->picture().copy();
        QApplication::clipboard()->clear();
        errors.clear();
        setErrorBoxSink([this](const QString& text) { errors << text; });
    }
    void TearDown() override { setErrorBoxSink({}); }

    // Switches the selection mode on and drags a zone between two control points.
    static void selectZone(QPoint from, QPoint to) {
        if (SelectMode == 0) {
            Form1->SpeedButton2->click();
        }
        PictureControl* image = Work_area->Image1;
        pressOn(image, Qt::LeftButton, from);
        QTest::mouseMove(image, (from + to) / 2);
        QTest::mouseMove(image, to);
        releaseOn(image, Qt::LeftButton, to);
    }

    // One recorded step, so that a fresh history shows.
    static void recordAStep() {
        Form1->backup();
        ASSERT_EQ(UndoCount, 1);
    }

    QImage opened;
    QStringList errors;
};

TEST_F(SelectionTest, SelectButtonTogglesTheModeAndItsHints) {
    Form1->SpeedButton2->click();
    EXPECT_EQ(SelectMode, 1);
    EXPECT_TRUE(Form1->SpeedButton2->isChecked());
    EXPECT_FALSE(Work_area->Image1->hintShown());
    EXPECT_EQ(Tools->TabbedNotebook1->toolTip(), "You are selecting a zone to cut ");
    EXPECT_EQ(Work_area->Image1->cursor().shape(), Qt::CrossCursor);

    selectZone({10, 10}, {40, 30});
    EXPECT_NE(Work_area->BandRect, IntQuad{});
    Form1->SpeedButton2->click();
    EXPECT_EQ(SelectMode, 0);
    EXPECT_TRUE(Form1->SpeedButton11->isChecked());  // the select button shows released
    EXPECT_FALSE(Form1->SpeedButton2->isChecked());
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
    EXPECT_TRUE(Work_area->Image1->hintShown());
    EXPECT_TRUE(Tools->TabbedNotebook1->toolTip().isEmpty());
}

TEST_F(SelectionTest, CutOutMakesTheZoneAFreshPictureAtTheCurrentZoom) {
    recordAStep();
    Form1->Label1->setText("200%");
    Work_area->fitPictureToZoom();
    // At 200 % the control points (18, 38) and (40, 60) are the zone (10, 20)-(19, 29).
    selectZone({18, 38}, {40, 60});
    EXPECT_EQ(SelectionRect, (ZoneRect{10, 20, 19, 29}));
    EXPECT_TRUE(Form1->SpeedButton11->isEnabled());
    EXPECT_TRUE(Form1->Action6->isEnabled());

    Form1->SpeedButton11->click();
    const QImage& cut = Work_area->picture();
    ASSERT_EQ(cut.size(), QSize(10, 10));
    EXPECT_EQ(cut.pixel(0, 0), opened.pixel(9, 19));
    EXPECT_EQ(cut.pixel(9, 9), opened.pixel(18, 28));
    EXPECT_EQ(Work_area->Image1->size(), QSize(20, 20));
    EXPECT_EQ(Form1->Label1->text(), "200%");
    // The crop starts a fresh history that cannot be undone.
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    EXPECT_EQ(SelectMode, 0);
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_FALSE(Form1->Action6->isEnabled());
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
    EXPECT_EQ(Tools->TabbedNotebook1->currentIndex(), 0);
    // Renew still returns to the picture as opened.
    Form1->RenewClick();
    EXPECT_EQ(Work_area->picture(), opened);
}

TEST_F(SelectionTest, CopyPutsExactlyTheZoneOnTheClipboardAndChangesNothing) {
    recordAStep();
    selectZone({9, 19}, {20, 30});
    const ZoneRect zone = SelectionRect;
    const IntQuad band = Work_area->BandRect;
    QTest::keyClick(Form1, Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(10, 10));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_BGR888),
              effects::cropToZone(opened, 10, 20, 19, 29));
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(SelectMode, 1);
    EXPECT_EQ(SelectionRect, zone);
    EXPECT_EQ(Work_area->BandRect, band);
}

TEST_F(SelectionTest, ZoneIsClampedToThePictureAndNeedsAPixel) {
    // A drag past the right and bottom edges selects up to them.
    selectZone({50, 40}, {300, 250});
    EXPECT_EQ(SelectionRect, (ZoneRect{51, 41, 100, 80}));
    Form1->SpeedButton11Click();
    EXPECT_EQ(Work_area->picture().size(), QSize(50, 40));
    EXPECT_EQ(Work_area->picture().pixel(49, 39), opened.pixel(99, 79));

    // Past the top-left corner too.
    loadTestPicture(opened);
    selectZone({60, 50}, {-40, -30});
    EXPECT_EQ(SelectionRect, (ZoneRect{1, 1, 59, 49}));

    // A one-pixel drag covers no whole pixel: neither cut nor copy.
    selectZone({20, 20}, {21, 21});
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_FALSE(Form1->Action6->isEnabled());
    Form1->SpeedButton11Click();
    Form1->Action6Execute();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());
}

TEST_F(SelectionTest, ZoomAndScrollingDisableTheZoneCommands) {
    selectZone({10, 10}, {50, 50});
    ASSERT_TRUE(Form1->SpeedButton11->isEnabled());
    Form1->SpeedButton9Click();
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    // The zone stays in picture pixels, so copy still works after the zoom.
    Form1->Action6Execute();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(39, 39));

    loadTestPicture(patternPicture(1500, 1200));
    selectZone({10, 10}, {50, 50});
    ASSERT_TRUE(Form1->Action6->isEnabled());
    Work_area->ScrollBox->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_FALSE(Form1->Action6->isEnabled());
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
}

TEST_F(SelectionTest, PasteReplacesThePictureAndStartsAFreshHistory) {
    recordAStep();
    QImage pasted(300, 200, QImage::Format_ARGB32);
    pasted.fill(qRgb(12, 34, 56));
    pasted.setPixel(299, 199, qRgb(200, 100, 50));
    QApplication::clipboard()->setImage(pasted);
    // Ctrl+V works with the selection mode off.
    ASSERT_EQ(SelectMode, 0);
    Tools->TabbedNotebook1->setCurrentIndex(kTwistPage);
    QTest::keyClick(Form1, Qt::Key_V, Qt::ControlModifier);
    const QImage& picture = Work_area->picture();
    ASSERT_EQ(picture.size(), QSize(300, 200));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(12, 34, 56));
    EXPECT_EQ(picture.pixel(299, 199), qRgb(200, 100, 50));
    EXPECT_EQ(Work_area->Image1->size(), QSize(300, 200));
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_EQ(Tools->TabbedNotebook1->currentIndex(), 0);
    EXPECT_TRUE(Form1->SpeedButton11->isChecked());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SelectionTest, PasteTakesPictureBytesOtherProgramsOffer) {
    QImage offered(30, 20, QImage::Format_RGB32);
    offered.fill(qRgb(1, 2, 3));
    offered.setPixel(29, 0, qRgb(250, 128, 7));
    for (const char* type : {"image/png", "image/bmp"}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        offered.save(&buffer, type == std::string("image/png") ? "PNG" : "BMP");
        auto* data = new QMimeData;
        data->setData(type, bytes);
        QApplication::clipboard()->setMimeData(data);
        Form1->Action9Execute();
        ASSERT_EQ(Work_area->picture().size(), QSize(30, 20)) << type;
        EXPECT_EQ(Work_area->picture().pixel(29, 0), qRgb(250, 128, 7)) << type;
        loadTestPicture(opened);
    }
    // Damaged bytes are reported and the picture stays.
    auto* data = new QMimeData;
    data->setData("image/png", QByteArray("\x89PNG\r\n\x1a\n broken", 16));
    QApplication::clipboard()->setMimeData(data);
    QTest::keyClick(Form1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(Work_area->picture(), opened);
}

TEST_F(SelectionTest, PasteWithoutAPictureOrWithAnOversizedOneChangesNothing) {
    recordAStep();
    selectZone({10, 10}, {50, 50});
    const ZoneRect zone = SelectionRect;
    const IntQuad band = Work_area->BandRect;
    QApplication::clipboard()->setText("no picture here");
    Form1->Action9Execute();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(CurrentFrame, 2);
    EXPECT_EQ(SelectMode, 1);
    EXPECT_EQ(SelectionRect, zone);
    EXPECT_EQ(Work_area->BandRect, band);
    EXPECT_TRUE(errors.isEmpty());

    QImage huge(30001, 2, QImage::Format_RGB32);
    huge.fill(Qt::white);
    QApplication::clipboard()->setImage(huge);
    QTest::keyClick(Form1, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("too large")) << errors[0].toStdString();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(SelectMode, 1);
}

}  // namespace
