// Mailing the work to a friend: the picture goes as a JPEG attachment into a message that the
// user's mail program shows, ready for the user to choose the friend and send it.
#include <QStringList>

#include "app/main_window.h"
#include "app/program_folders.h"
#include "app/shared_state.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"
#include "platform/send_mail.h"
#include "workarea/work_area.h"

void TForm1::SpeedButton1Click() {
    const QImage& picture = Work_area->picture();
    if (picture.isNull()) {
        return;
    }
    // A write failure throws and ends the command before any mail window opens.
    const QString attachment = attachmentFolder() + QStringLiteral("/mywork.jpg");
    formats::writeFileAtomically(attachment, formats::encodeJpeg(picture));

    const QStringList body = {
        QStringLiteral("Hello!"),
        QString(),
        QStringLiteral("It is a good software. The download link is folows:"),
        QStringLiteral("https://mugwarp.example.org/download"),
        QString(),
        QStringLiteral("Please try it. It would give you happiness!"),
        QStringLiteral("Good luck!"),
    };
    // No recipient: the user chooses the friend in the mail program. Whether a mail program
    // could be started is not reported; there is nothing the user needs to be told.
    platform::SendMail({
        {QStringLiteral("subject"), QStringLiteral("Tell you a great software--Mugwarp.")},
        {QStringLiteral("body"), body.join(QStringLiteral("\r\n"))},
        {QStringLiteral("attachment0"), attachment},
    });
}
