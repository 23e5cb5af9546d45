// The image size dialog: its fields, the kept proportions, "-" and "+", the checks of OK and
// the resampled picture.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/error_box.h"
#include "app/image_size_dialog.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/picture_resize.h"
#include "tests/gui/gui_test_support.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

class ImageSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        loadTestPicture(patternPicture(605, 469));
        opened = Work_area->picture().copy();
        messages.clear();
        setErrorBoxSink([this](const QString& text) { messages << text; });
        Image_Size->CheckBox1->setChecked(true);
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        ASSERT_TRUE(Image_Size->isVisible());
    }
    void TearDown() override {
        Image_Size->close();
        setErrorBoxSink({});
    }

    static void type(QLineEdit* field, const char* text) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }

    static void setFields(const char* width, const char* height) {
        Image_Size->Edit1->setText(width);
        Image_Size->Edit2->setText(height);
    }

    QImage opened;
    QStringList messages;
};

TEST_F(ImageSizeTest, DialogShowsThePictureSize) {
    EXPECT_EQ(Image_Size->windowTitle(), "Image_Size");
    EXPECT_EQ(Image_Size->Edit1->text(), "605");
    EXPECT_EQ(Image_Size->Edit2->text(), "469");
    EXPECT_EQ(Image_Size->CheckBox1->text(), "Hold in width and height");
    EXPECT_EQ(Image_Size->Edit1->geometry(), QRect(56, 24, 57, 21));
    EXPECT_EQ(Image_Size->SpeedButton2->text(), "+");
    EXPECT_EQ(Image_Size->SpeedButton2->font().pixelSize(), 16);
    EXPECT_EQ(Image_Size->Button1->text(), "OK");
    EXPECT_EQ(Image_Size->Button2->text(), "Cancel");
}

TEST_F(ImageSizeTest, TypingKeepsTheProportionsOnlyWhileChecked) {
    type(Image_Size->Edit1, "300");
    EXPECT_EQ(Image_Size->Edit2->text(), "233");  // 300 x 469 / 605 = 232.56
    type(Image_Size->Edit2, "100");
    EXPECT_EQ(Image_Size->Edit1->text(), "129");  // 100 x 605 / 469 = 128.99
    // A field that is no size yet leaves the other alone.
    type(Image_Size->Edit2, "x1");
    EXPECT_EQ(Image_Size->Edit1->text(), "129");

    Image_Size->CheckBox1->setChecked(false);
    type(Image_Size->Edit1, "50");
    EXPECT_EQ(Image_Size->Edit2->text(), "x1");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ImageSizeTest, MinusAndPlusScaleBothFields) {
    Image_Size->SpeedButton1->click();
    EXPECT_EQ(Image_Size->Edit1->text(), "484");
    EXPECT_EQ(Image_Size->Edit2->text(), "375");
    setFields("605", "469");
    Image_Size->SpeedButton2->click();
    EXPECT_EQ(Image_Size->Edit1->text(), "756");
    EXPECT_EQ(Image_Size->Edit2->text(), "586");

    // A field that is not a number is reported and both fields stay.
    setFields("605", "4x9");
    Image_Size->SpeedButton1->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "'4x9' is not a valid integer value");
    EXPECT_EQ(Image_Size->Edit1->text(), "605");
    setFields("99999999999", "469");
    Image_Size->SpeedButton2->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], "'99999999999' is not a valid integer value");
}

TEST_F(ImageSizeTest, OkRefusesWhatIsNoPositiveSize) {
    for (const auto& [width, height] :
         std::vector<std::pair<const char*, const char*>>{{"", "469"},
                                                          {"12a", "469"},
                                                          {"-5", "469"},
                                                          {"605", "0"},
                                                          {"0", "469"},
                                                          {" 60", "4"}}) {
        messages.clear();
        setFields(width, height);
        Image_Size->Button1->click();
        ASSERT_EQ(messages.size(), 1) << width << " x " << height;
        EXPECT_EQ(messages[0], "Please input a valid integer value.");
        EXPECT_TRUE(Image_Size->isVisible());
        EXPECT_EQ(Work_area->picture(), opened);
    }
}

TEST_F(ImageSizeTest, OkResamplesToExactlyTheTypedSizeWithoutAStep) {
    const int undo = UndoCount;
    type(Image_Size->Edit1, "300");
    Image_Size->Button1->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(Image_Size->isVisible());
    const QImage& resized = Work_area->picture();
    ASSERT_EQ(resized.size(), QSize(300, 233));
    EXPECT_EQ(resized, effects::resizePicture(opened, 300, 233));
    EXPECT_EQ(Work_area->Image1->size(), QSize(300, 233));
    EXPECT_EQ(Form1->Label1->text(), "100%");
    EXPECT_EQ(UndoCount, undo);

    // Cancel closes and changes nothing.
    Form1->ImageSize1Click();
    EXPECT_EQ(Image_Size->Edit1->text(), "300");
    setFields("10", "10");
    Image_Size->Button2->click();
    EXPECT_FALSE(Image_Size->isVisible());
    EXPECT_EQ(Work_area->picture().size(), QSize(300, 233));
}

TEST_F(ImageSizeTest, SizeBeyondTheLimitIsRefused) {
    Image_Size->CheckBox1->setChecked(false);
    setFields("40000", "469");
    Image_Size->Button1->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("too large")) << messages[0].toStdString();
    EXPECT_EQ(Work_area->picture(), opened);
    EXPECT_EQ(Work_area->Image1->size(), QSize(605, 469));
}

}  // namespace
