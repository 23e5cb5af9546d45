#include "app/program_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <stdexcept>

#include "platform/folder_removal.h"

RecorderFolderClaim::RecorderFolderClaim(const QString& programFolder, const QString& cacheFolder) {
    // A folder is ours when it can be made and its lock taken. The lock lies beside the
    // folder ("recorder.lock"), which holds nothing but frames. A lock left by a program that
    // ended without removing its folder is stale and taken over.
    const auto claim = [this](const QString& folder) {
        if (!QDir().mkpath(folder)) {
            return false;
        }
        auto lock = std::make_unique<QLockFile>(recorderLockFile(folder));
        if (!lock->tryLock(0)) {
            return false;
        }
        folder_ = folder;
        lock_ = std::move(lock);
        return true;
    };
    if (claim(programFolder + "/recorder/")) {
        return;
    }
    const QString own =
        cacheFolder + "/recorder-" + QString::number(QCoreApplication::applicationPid()) + "/";
    if (claim(own)) {
        return;
    }
    throw std::runtime_error("No folder for the recorder's frames can be created, neither in " +
                             QDir::toNativeSeparators(programFolder).toStdString() + " nor in " +
                             QDir::toNativeSeparators(cacheFolder).toStdString() + ".");
}

RecorderFolderClaim::~RecorderFolderClaim() = default;

void RecorderFolderClaim::releaseAndRemove() {
    if (lock_ == nullptr) {
        return;
    }
    platform::DeleteFolder(folder_);
    lock_.reset();  // unlocks and removes the lock file
}

QString recorderLockFile(const QString& folder) {
    return folder.chopped(1) + ".lock";
}

QString userCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

QString attachmentFolder() {
    const QString program = QCoreApplication::applicationDirPath();
    if (QFileInfo(program).isWritable()) {
        return program;
    }
    const QString cache = userCacheFolder();
    QDir().mkpath(cache);
    return cache;
}
