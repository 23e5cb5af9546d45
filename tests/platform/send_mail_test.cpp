#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "platform/send_mail.h"

using platform::mailArguments;
using platform::MailValues;
using platform::SendMail;

TEST(MailArguments, GivesSubjectBodyAttachmentsThenRecipient) {
    const MailValues values = {{"to", "friend@example.org"},
                               {"attachment1", "/tmp/b.jpg"},
                               {"body", "Hello"},
                               {"subject", "A picture"},
                               {"attachment0", "/tmp/a.jpg"}};
    EXPECT_EQ(mailArguments(values),
              QStringList({"--subject", "A picture", "--body", "Hello", "--attach", "/tmp/a.jpg",
                           "--attach", "/tmp/b.jpg", "friend@example.org"}));
}

TEST(MailArguments, LeavesTheRecipientToTheUserWithoutTo) {
    EXPECT_EQ(mailArguments({{"subject", "S"}}), QStringList({"--subject", "S"}));
    EXPECT_EQ(mailArguments({{"subject", "S"}, {"to", ""}}), QStringList({"--subject", "S"}));
}

TEST(MailArguments, CountsAttachmentsUpToTheFirstEmptyOne) {
    const MailValues gap = {{"attachment0", "a.jpg"},
                            {"attachment1", "b.jpg"},
                            {"attachment2", ""},
                            {"attachment3", "d.jpg"}};
    EXPECT_EQ(mailArguments(gap), QStringList({"--attach", "a.jpg", "--attach", "b.jpg"}));
    // Without attachment0 none is counted.
    EXPECT_TRUE(mailArguments({{"attachment1", "b.jpg"}}).isEmpty());
}

TEST(MailArguments, LeavesOutEmptySubjectAndBody) {
    EXPECT_EQ(mailArguments({{"subject", ""}, {"body", ""}, {"to", "x@example.org"}}),
              QStringList({"x@example.org"}));
    EXPECT_TRUE(mailArguments({}).isEmpty());
}

namespace {

// Puts a stand-in xdg-email into a folder of its own; it writes each argument it gets,
// followed by a NUL byte, into a record file (renamed into place once complete, so a reader
// never sees half of it). PATH is restored afterwards.
class SendMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.isValid());
        ASSERT_TRUE(empty.isValid());
        record = standIn.filePath("record");
        writeProgram(QStringLiteral("#!/bin/sh\n"
                                    "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1.part'\n"
                                    "/bin/mv '%1.part' '%1'\n")
                         .arg(record)
                         .toUtf8());
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    void writeProgram(const QByteArray& contents) {
        QFile program(standIn.filePath("xdg-email"));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(program.write(contents), contents.size());
        program.close();
        ASSERT_TRUE(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The recorded arguments, once the detached stand-in has written them; waits up to
    // `milliseconds`. Null when there is no record.
    std::optional<QStringList> recorded(int milliseconds = 5000) const {
        const QDeadlineTimer deadline(milliseconds);
        while (!QFile::exists(record)) {
            if (deadline.hasExpired()) {
                return std::nullopt;
            }
            QThread::msleep(20);
        }
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        QStringList arguments;
        for (const QByteArray& part : file.readAll().split('\0')) {
            arguments << QString::fromUtf8(part);
        }
        arguments.removeLast();  // after the last NUL
        return arguments;
    }

    QTemporaryDir standIn;
    QTemporaryDir empty;
    QString record;
    const QByteArray savedPath = qgetenv("PATH");
};

}  // namespace

TEST_F(SendMailTest, StartsXdgEmailWithTheMessage) {
    qputenv("PATH", (standIn.path() + ":").toUtf8() + savedPath);
    const MailValues values = {{"subject", "A picture for you"},
                               {"body", "Line one\r\n\r\nLine  \"three\" $HOME"},
                               {"attachment0", "/tmp/with space.jpg"},
                               {"to", "friend@example.org"}};
    EXPECT_EQ(SendMail(values), 0);
    const auto arguments = recorded();
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(*arguments, QStringList({"--subject", "A picture for you", "--body",
                                       "Line one\r\n\r\nLine  \"three\" $HOME", "--attach",
                                       "/tmp/with space.jpg", "friend@example.org"}));
}

TEST_F(SendMailTest, WithoutXdgEmailOnPathReturnsOneAndRunsNothing) {
    // The stand-in exists, but not on PATH.
    qputenv("PATH", empty.path().toUtf8());
    EXPECT_EQ(SendMail({{"subject", "S"}, {"attachment0", "/tmp/a.jpg"}}), 1);
    EXPECT_FALSE(recorded(500).has_value());
}

TEST_F(SendMailTest, ReturnsOneWhenXdgEmailCannotBeStarted) {
    // Executable, but neither a script nor a program the system can load.
    writeProgram(
        QByteArray("\x7f"
                   "ELF not really",
                   15));
    qputenv("PATH", standIn.path().toUtf8());
    EXPECT_EQ(SendMail({{"subject", "S"}}), 1);
}
