#include "platform/folder_removal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

constexpr QFile::Permissions kOwnerAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

}  // namespace

bool DeleteFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists()) {
        return false;
    }
    // Make the folder itself writable so its entries can be unlinked.
    QFile::setPermissions(dir.absolutePath(), QFile::permissions(dir.absolutePath()) | kOwnerAll);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString path = entry.absoluteFilePath();
        bool removed = false;
        if (entry.isDir() && !entry.isSymLink()) {
            QFile::setPermissions(path, kOwnerAll);
            removed = DeleteFolder(path);
        } else {
            QFile::setPermissions(
                path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
            removed = QFile::remove(path);
        }
        if (!removed) {
            break;
        }
    }
    return QDir().rmdir(dir.absolutePath());
}

}  // namespace platform
