#include "app/save_name.h"

QString forcedSaveName(const QString& chosen, const QString& extension) {
    const qsizetype nameStart = chosen.lastIndexOf('/') + 1;
    const qsizetype dot = chosen.lastIndexOf('.');
    if (dot >= nameStart) {
        return chosen.left(dot) + extension;
    }
    return chosen + extension;
}

QString pictureBaseNameOf(const QString& path) {
    QString name = path.mid(path.lastIndexOf('/') + 1);
    name.chop(4);
    return name;
}
