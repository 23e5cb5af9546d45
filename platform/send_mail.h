// Offers a message to the user's own mail program, which shows it for the user to finish and
// send. Goes through xdg-email, so whatever mail program the desktop is set up with is used.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace platform {

// The message as key/value pairs: "to" (one recipient; without it the user chooses),
// "subject", "body", and the attachments "attachment0", "attachment1", … counted up to the
// first one that is empty or missing. Empty values are left out.
using MailValues = QList<QPair<QString, QString>>;

// The xdg-email arguments for `values`: [--subject S] [--body B] [--attach FILE]... [TO].
QStringList mailArguments(const MailValues& values);

// Starts xdg-email (found on PATH) with the message, without waiting for the mail window.
// Returns 0 when it started, 1 when there is no xdg-email or it could not be started. Never
// shows anything itself.
int SendMail(const MailValues& values);

}  // namespace platform
