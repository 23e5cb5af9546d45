// The history's memory budget through the main window: whole-picture steps let the oldest
// steps go, the status bar says how far Undo still reaches, and the record still plays and
// exports every frame.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

// The picture after step `step`: one flat colour, so every tile changes from step to step
// and the frame file gives the colour back within JPEG's rounding.
QImage stepPicture(int step) {
    QImage picture(kWidth, kHeight, QImage::Format_BGR888);
    picture.fill(QColor(step * 25, 255 - step * 25, 100));
    return picture;
}

// Whether `picture` shows step `step`: exactly, or within a few levels when it came back
// from a frame file.
bool shows(const QImage& picture, int step, int tolerance) {
    const QColor want = stepPicture(step).pixelColor(0, 0);
    const QColor got = picture.pixelColor(kWidth / 2, kHeight / 2);
    return std::abs(got.red() - want.red()) <= tolerance &&
           std::abs(got.green() - want.green()) <= tolerance &&
           std::abs(got.blue() - want.blue()) <= tolerance;
}

}  // namespace

TEST(HistoryBudgetGui, LetsTheOldestStepsGoYetTheRecordKeepsEveryFrame) {
    loadTestPicture(stepPicture(0));  // start-up names the recorder folder
    ASSERT_FALSE(RecorderFolder.isEmpty());
    QDir(RecorderFolder).removeRecursively();
    QDir().mkpath(RecorderFolder);
    QStringList errors;
    setErrorBoxSink([&errors](const QString& text) { errors << text; });
    Tools->SpeedButton5->click();  // start a record at frame 1
    // Room for three whole pictures.
    Form1->HistorySlots.setBudget(static_cast<size_t>(kWidth) * kHeight * 3 * 7 / 2);
    EXPECT_TRUE(Form1->StatusBar1->currentMessage().isEmpty());
    for (int step = 1; step <= 8; ++step) {
        Work_area->setPicture(stepPicture(step));
        Form1->backup();
    }
    EXPECT_EQ(CurrentFrame, 9);
    EXPECT_EQ(UndoCount, 2);
    EXPECT_EQ(Form1->StatusBar1->currentMessage(),
              "To stay within memory the oldest steps were let go: Undo now reaches back 2 "
              "steps.");

    // Playback shows frames 2 to 9, the early ones from their frame files.
    Tools->SpeedButton7->click();
    Tools->Timer1->stop();  // the ticks are driven by hand
    for (int frame = 2; frame <= 9; ++frame) {
        Tools->Timer1Timer();
        EXPECT_TRUE(shows(Work_area->Image1->picture(), frame - 1, frame < 7 ? 3 : 0)) << frame;
    }
    EXPECT_EQ(Tools->Label12->text(), "Recording...");

    // The animated GIF has all nine frames.
    QTemporaryDir target;
    Tools->SaveDialog1 = [&target]() -> std::optional<TTools::ExportChoice> {
        return TTools::ExportChoice{target.filePath("steps.gif"), TTools::kExportAnimation};
    };
    Tools->SpeedButton4->click();
    QFile saved(target.filePath("steps.gif"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count(QByteArray("\x21\xF9\x04", 3)), 9);

    // Undo reaches the two steps kept, pixel for pixel, and no further.
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), stepPicture(7));
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), stepPicture(6));
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    Form1->Undo1Click();
    EXPECT_EQ(CurrentFrame, 7);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    setErrorBoxSink({});
}
