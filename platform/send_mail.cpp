#include "platform/send_mail.h"

#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {

// The value of the first pair with `key`; empty when there is none.
QString valueOf(const MailValues& values, const QString& key) {
    for (const auto& [name, value] : values) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

}  // namespace

QStringList mailArguments(const MailValues& values) {
    QStringList arguments;
    const QString subject = valueOf(values, QStringLiteral("subject"));
    if (!subject.isEmpty()) {
        arguments << QStringLiteral("--subject") << subject;
    }
    const QString body = valueOf(values, QStringLiteral("body"));
    if (!body.isEmpty()) {
        arguments << QStringLiteral("--body") << body;
    }
    for (int index = 0;; ++index) {
        const QString file = valueOf(values, QStringLiteral("attachment") + QString::number(index));
        if (file.isEmpty()) {
            break;
        }
        arguments << QStringLiteral("--attach") << file;
    }
    const QString recipient = valueOf(values, QStringLiteral("to"));
    if (!recipient.isEmpty()) {
        arguments << recipient;
    }
    return arguments;
}

int SendMail(const MailValues& values) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        return 1;
    }
    // Detached: the mail window may stay open as long as the user likes.
    return QProcess::startDetached(program, mailArguments(values)) ? 0 : 1;
}

}  // namespace platform
