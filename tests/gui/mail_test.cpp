// Mailing the work: Ctrl+M writes the picture as the JPEG attachment and offers it to the
// mail program, here a stand-in xdg-email that records what it was given.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/program_folders.h"
#include "app/shared_state.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"
#include "tests/gui/gui_test_support.h"
#include "workarea/work_area.h"

namespace {

const QString kSubject = "Tell you a great software--Mugwarp.";
const QString kBody =
    "Hello!\r\n\r\nIt is a good software. The download link is folows:\r\n"
    "https://mugwarp.example.org/download\r\n\r\nPlease try it. It would give you happiness!\r\n"
    "Good luck!";

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QWidget*> visibleWindows() {
    QList<QWidget*> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            shown << widget;
        }
    }
    return shown;
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWindowsShown();
        loadTestPicture(patternPicture(64, 48));
        ASSERT_TRUE(standIn.isValid());
        ASSERT_TRUE(empty.isValid());
        attachment = attachmentFolder() + "/mywork.jpg";
        removeAttachment();
        // Each argument followed by a NUL byte, since the body has line breaks; the record is
        // renamed into place once complete.
        record = standIn.filePath("record");
        const QByteArray script =
            QStringLiteral(
                "#!/bin/sh\n"
                "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1.part'\n"
                "/bin/mv '%1.part' '%1'\n")
                .arg(record)
                .toUtf8();
        QFile program(standIn.filePath("xdg-email"));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        ASSERT_EQ(program.write(script), script.size());
        program.close();
        ASSERT_TRUE(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", (standIn.path() + ":").toUtf8() + savedPath);
        messages.clear();
        setErrorBoxSink([this](const QString& text) { messages << text; });
    }
    void TearDown() override {
        qputenv("PATH", savedPath);
        setErrorBoxSink({});
        removeAttachment();
    }

    void removeAttachment() {
        QFile::remove(attachment);
        QDir(attachment).removeRecursively();
    }

    void mail() { QTest::keyClick(Form1, Qt::Key_M, Qt::ControlModifier); }

    // What the stand-in was started with, once it has written it; waits up to `milliseconds`.
    // Empty when it did not run in that time.
    std::optional<QStringList> recorded(int milliseconds = 5000) {
        if (!QTest::qWaitFor([this] { return QFile::exists(record); }, milliseconds)) {
            return std::nullopt;
        }
        QStringList arguments;
        for (const QByteArray& part : fileBytes(record).split('\0')) {
            arguments << QString::fromUtf8(part);
        }
        arguments.removeLast();  // after the last NUL
        QFile::remove(record);
        return arguments;
    }

    QTemporaryDir standIn;
    QTemporaryDir empty;
    QString record;
    QString attachment;
    QStringList messages;
    const QByteArray savedPath = qgetenv("PATH");
};

TEST_F(MailTest, OffersSubjectBodyAndAttachmentWithoutRecipient) {
    mail();
    const auto arguments = recorded();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments,
              QStringList({"--subject", kSubject, "--body", kBody, "--attach", attachment}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MailTest, AttachmentIsTheBaselineJpegOfTheCurrentPicture) {
    // Changed after loading, so neither the opened nor the renew picture would pass for it.
    QImage picture = patternPicture(53, 37);
    picture.fill(QColor(200, 40, 90));
    Work_area->setPicture(picture);
    mail();
    ASSERT_TRUE(recorded().has_value());

    const QByteArray bytes = fileBytes(attachment);
    ASSERT_GE(bytes.size(), 4);
    EXPECT_TRUE(bytes.startsWith("\xFF\xD8"));
    EXPECT_TRUE(bytes.contains("JFIF"));
    EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xC0", 2)));
    EXPECT_FALSE(bytes.contains(QByteArray("\xFF\xC2", 2)));
    EXPECT_EQ(bytes, formats::encodeJpeg(picture));

    const QImage decoded = formats::decodePicture(bytes, attachment);
    ASSERT_EQ(decoded.size(), picture.size());
    const QColor middle = decoded.pixelColor(26, 18);
    EXPECT_NEAR(middle.red(), 200, 4);
    EXPECT_NEAR(middle.green(), 40, 4);
    EXPECT_NEAR(middle.blue(), 90, 4);
}

TEST_F(MailTest, MailingAgainReplacesTheAttachment) {
    mail();
    ASSERT_TRUE(recorded().has_value());
    EXPECT_EQ(formats::readPictureFile(attachment).size(), QSize(64, 48));

    const QImage newer = patternPicture(30, 70);
    Work_area->setPicture(newer);
    mail();
    const auto arguments = recorded();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(arguments->last(), attachment);
    EXPECT_EQ(fileBytes(attachment), formats::encodeJpeg(newer));
    EXPECT_EQ(formats::readPictureFile(attachment).size(), QSize(30, 70));
}

TEST_F(MailTest, WithoutAMailProgramNothingShows) {
    qputenv("PATH", empty.path().toUtf8());
    const QList<QWidget*> before = visibleWindows();
    mail();
    QTest::qWait(300);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(visibleWindows(), before);
    EXPECT_FALSE(recorded(200).has_value());
    // The attachment is written before the mail program is looked for.
    EXPECT_EQ(fileBytes(attachment), formats::encodeJpeg(Work_area->picture()));
}

TEST_F(MailTest, UnwritableAttachmentShowsTheErrorAndOpensNoMail) {
    // A folder in the attachment's place cannot be replaced by the file.
    ASSERT_TRUE(QDir().mkpath(attachment));
    mail();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("mywork.jpg")) << messages[0].toStdString();
    EXPECT_FALSE(recorded(700).has_value());
}

TEST_F(MailTest, WithoutAPictureDoesNothing) {
    Work_area->setPicture(QImage());
    mail();
    EXPECT_FALSE(recorded(500).has_value());
    EXPECT_FALSE(QFile::exists(attachment));
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
