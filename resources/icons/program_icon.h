// The program's icon, in the sizes drawn for it (resources/icons/), for every window.
#pragma once

#include <QIcon>
#include <QString>

// The 16 and 32 pixel sizes are a simpler drawing than the large ones, so title bars and
// task bars get a sharp icon instead of a shrunken large one.
inline QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/mugwarp-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
