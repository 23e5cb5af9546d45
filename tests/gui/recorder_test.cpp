// The step recorder on the palette: starting, stopping and playing a record, and exporting
// it as a self-playing program or an animated GIF.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "formats/picture_file.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

// A step whose picture tells its number in pixel (0, 0).
void makeStep(int step) {
    QImage picture = Work_area->picture().copy();
    picture.scanLine(0)[0] = static_cast<uchar>(step);
    picture.scanLine(0)[2] = 0x5A;
    Work_area->setPicture(picture);
    Form1->backup();
}

int stepShown() {
    const uchar* pixel = Work_area->picture().constScanLine(0);
    return pixel[2] == 0x5A ? pixel[0] : 0;
}

QString frameFile(int frame) {
    return RecorderFolder + PictureBaseName + QString::number(frame) + ".jpg";
}

quint32 wordAt(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

QByteArray playerBytes() {
    QFile player(":/exefile/head");
    return player.open(QIODevice::ReadOnly) ? player.readAll() : QByteArray();
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        if (Recording != 0) {
            Tools->SpeedButton6Click();
        }
        // Frame files of an earlier run would pass for this one's.
        QDir(RecorderFolder).removeRecursively();
        QDir().mkpath(RecorderFolder);
        loadTestPicture(patternPicture(64, 48));
        messages.clear();
        setErrorBoxSink([this](const QString& text) { messages << text; });
        ASSERT_TRUE(target.isValid());
    }
    void TearDown() override {
        if (Recording != 0) {
            Tools->SpeedButton6Click();
        }
        QDir().mkpath(RecorderFolder);
        setErrorBoxSink({});
    }

    // Answers the export's save dialog with `name` in the target folder.
    void answerExport(const QString& name, int type = TTools::kExportProgram) {
        Tools->SaveDialog1 = [this, name, type]() -> std::optional<TTools::ExportChoice> {
            ++dialogs;
            return TTools::ExportChoice{target.filePath(name), type};
        };
    }

    QStringList messages;
    QTemporaryDir target;
    int dialogs = 0;
};

}  // namespace

TEST_F(RecorderTest, StartRecordsFrameOneAndStopEndsTheRecord) {
    makeStep(1);
    ASSERT_EQ(UndoCount, 1);
    QFile::remove(frameFile(1));
    Tools->SpeedButton5->click();
    EXPECT_EQ(Recording, 1);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_TRUE(QFile::exists(frameFile(1)));
    EXPECT_EQ(Tools->Label12->text(), "Recording...");
    EXPECT_FALSE(Tools->SpeedButton5->isEnabled());
    EXPECT_TRUE(Tools->SpeedButton6->isEnabled());
    EXPECT_TRUE(Tools->SpeedButton7->isEnabled());
    EXPECT_TRUE(Tools->SpeedButton4->isEnabled());

    makeStep(2);
    makeStep(3);
    EXPECT_TRUE(QFile::exists(frameFile(3)));
    Tools->SpeedButton6->click();
    EXPECT_EQ(Recording, 0);
    EXPECT_EQ(Tools->Label12->text(), "Stop.");
    EXPECT_TRUE(Tools->SpeedButton5->isEnabled());
    EXPECT_FALSE(Tools->SpeedButton7->isEnabled());
    EXPECT_FALSE(Tools->SpeedButton4->isEnabled());
    makeStep(4);
    EXPECT_FALSE(QFile::exists(frameFile(4)));

    // A new start begins a new record at frame 1 with the picture now shown.
    Tools->SpeedButton5->click();
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(formats::readPictureFile(frameFile(1)).size(), QSize(64, 48));
}

TEST_F(RecorderTest, PlayShowsFramesTwoToTheCurrentOneAndEndsOnIt) {
    Tools->SpeedButton5->click();
    makeStep(1);
    Tools->SpeedButton7->click();
    EXPECT_EQ(Tools->Label12->text(), "Playing......");
    EXPECT_TRUE(Tools->Timer1->isActive());
    EXPECT_EQ(Tools->Timer1->interval(), 100);
    const QSize controlSize = Work_area->Image1->size();
    Tools->Timer1Timer();
    EXPECT_FALSE(Tools->Timer1->isActive());
    EXPECT_EQ(Tools->Label12->text(), "Recording...");
    EXPECT_EQ(stepShown(), 1);
    EXPECT_EQ(Work_area->Image1->size(), controlSize);

    // Three steps, two undos: only frame 2 is played.
    makeStep(2);
    makeStep(3);
    Form1->Undo1Click();
    Form1->Undo1Click();
    ASSERT_EQ(CurrentFrame, 2);
    Tools->SpeedButton7->click();
    Tools->Timer1Timer();
    EXPECT_FALSE(Tools->Timer1->isActive());
    EXPECT_EQ(stepShown(), 1);

    // Four frames run in order on the real timer.
    makeStep(4);
    makeStep(5);
    ASSERT_EQ(CurrentFrame, 4);
    std::vector<int> shown = {stepShown()};
    Tools->SpeedButton7->click();
    while (Tools->Timer1->isActive()) {
        QTest::qWait(20);
        if (shown.back() != stepShown()) {
            shown.push_back(stepShown());
        }
    }
    EXPECT_EQ(shown, (std::vector<int>{5, 1, 4, 5}));
}

TEST_F(RecorderTest, PlayAndExportOfARecordWithoutStepsSaySorry) {
    Tools->SpeedButton5->click();
    Tools->SpeedButton7->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Just begin to record, please do more!");
    EXPECT_FALSE(Tools->Timer1->isActive());
    EXPECT_EQ(Tools->Label12->text(), "Recording...");

    answerExport("nothing");
    Tools->SpeedButton4->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], "Just begin to record, please do more!");
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(Tools->Label12->text(), "Recording...");
}

TEST_F(RecorderTest, ExportAppendsEachFrameWithItsLengthWordAndTheCount) {
    const QByteArray player = playerBytes();
    ASSERT_GT(player.size(), 1000);
    Tools->SpeedButton5->click();
    makeStep(1);
    // Frame files of known sizes show the layout plainly.
    const QByteArray first(1000, 'a');
    const QByteArray second(2000, 'b');
    formats::writeFileAtomically(frameFile(1), first);
    formats::writeFileAtomically(frameFile(2), second);
    answerExport("record.bin");
    Tools->SpeedButton4->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(Tools->Label12->text(), "Recording...");

    QFile saved(target.filePath("record.exe"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    const qsizetype s = player.size();
    ASSERT_EQ(bytes.size(), s + 3012);
    EXPECT_EQ(bytes.left(s), player);
    EXPECT_EQ(bytes.mid(s, 1000), first);
    EXPECT_EQ(wordAt(bytes, s + 1000), 1004u);
    EXPECT_EQ(bytes.mid(s + 1004, 2000), second);
    EXPECT_EQ(wordAt(bytes, s + 3004), 2004u);
    EXPECT_EQ(wordAt(bytes, s + 3008), 2u);
    EXPECT_TRUE(saved.permissions().testFlag(QFileDevice::ExeOwner));
    EXPECT_TRUE(saved.permissions().testFlag(QFileDevice::ExeOther));
    EXPECT_FALSE(QFile::exists(target.filePath("record.bin")));
    // A second export replaces the file without asking; a name without extension gets one.
    answerExport("record");
    Tools->SpeedButton4->click();
    EXPECT_EQ(QFileInfo(target.filePath("record.exe")).size(), s + 3012);
}

TEST_F(RecorderTest, ExportTakesFramesOneToTheCurrentOne) {
    Tools->SpeedButton5->click();
    for (int step = 1; step <= 5; ++step) {
        makeStep(step);
    }
    Form1->Undo1Click();
    Form1->Undo1Click();
    ASSERT_EQ(CurrentFrame, 4);
    answerExport("four");
    Tools->SpeedButton4->click();
    QFile saved(target.filePath("four.exe"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(wordAt(bytes, bytes.size() - 4), 4u);
    // Walk back from the end: each frame is the frame file of its number.
    qsizetype p = bytes.size() - 4;
    for (int k = 4; k >= 1; --k) {
        const quint32 length = wordAt(bytes, p - 4);
        QFile frame(frameFile(k));
        ASSERT_TRUE(frame.open(QIODevice::ReadOnly));
        EXPECT_EQ(bytes.mid(p - length, length - 4), frame.readAll()) << k;
        p -= length;
    }
    EXPECT_EQ(p, playerBytes().size());
}

TEST_F(RecorderTest, CancelledOrFailedExportLeavesNoFile) {
    Tools->SpeedButton5->click();
    makeStep(1);
    const QString working = RecorderFolder + PictureBaseName + ".exe";
    Tools->SaveDialog1 = [this]() -> std::optional<TTools::ExportChoice> {
        ++dialogs;
        return std::nullopt;
    };
    Tools->SpeedButton4->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(QFile::exists(working));
    EXPECT_TRUE(QDir(target.path()).isEmpty());
    EXPECT_TRUE(messages.isEmpty());

    // A missing frame file: a message, no dialog, and no working file to append to later.
    QFile::remove(frameFile(2));
    answerExport("broken");
    Tools->SpeedButton4->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("frame 2")) << messages[0].toStdString();
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(QFile::exists(working));

    // The recorder folder gone altogether.
    QDir(RecorderFolder).removeRecursively();
    Tools->SpeedButton4->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("player")) << messages[1].toStdString();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(QDir(target.path()).isEmpty());
    EXPECT_EQ(Tools->Label12->text(), "Recording...");
}

TEST_F(RecorderTest, ExportAsAnimatedGifWritesEveryFrame) {
    Tools->SpeedButton5->click();
    makeStep(1);
    makeStep(2);
    answerExport("steps.exe", TTools::kExportAnimation);
    Tools->SpeedButton4->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    QFile saved(target.filePath("steps.gif"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    EXPECT_TRUE(bytes.contains("NETSCAPE2.0"));
    // Three frames: three image descriptors after their control blocks.
    EXPECT_EQ(bytes.count(QByteArray("\x21\xF9\x04", 3)), 3);
    EXPECT_EQ(formats::decodePicture(bytes, "steps.gif").size(), QSize(64, 48));
}
