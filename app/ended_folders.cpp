#include "app/ended_folders.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <map>

#include "app/program_folders.h"
#include "platform/folder_removal.h"

QStringList recorderFolderCandidates(const QString& programFolder, const QString& cacheFolder,
                                     const QStringList& cacheEntries) {
    // The names RecorderFolderClaim gives its folders.
    static const QRegularExpression ownFolderName(QStringLiteral("^recorder-[0-9]+$"));
    QStringList candidates{programFolder + "/recorder/"};
    for (const QString& entry : cacheEntries) {
        if (ownFolderName.match(entry).hasMatch()) {
            candidates.append(cacheFolder + "/" + entry + "/");
        }
    }
    return candidates;
}

std::vector<EndedRecorderFolder> endedRecorderFolders(const std::vector<SeenRecorderFolder>& seen) {
    std::vector<EndedRecorderFolder> ended;
    for (const SeenRecorderFolder& folder : seen) {
        if (folder.heldByRunningProgram) {
            continue;
        }
        EndedRecorderFolder entry{folder.folder, {}, 0};
        for (const SeenRecoveryFile& file : folder.recoveryFiles) {
            // A write cut off leaves its temporary name, which ends otherwise.
            const bool isCopy = file.name.endsWith(QLatin1String(kRecoveryCopyExtension));
            if (isCopy &&
                (entry.recoveryCopy.isEmpty() || file.modifiedMs > entry.copyModifiedMs)) {
                entry.recoveryCopy = folder.folder + kRecoverySubfolder + "/" + file.name;
                entry.copyModifiedMs = file.modifiedMs;
            }
        }
        ended.push_back(entry);
    }
    std::stable_sort(ended.begin(), ended.end(),
                     [](const EndedRecorderFolder& a, const EndedRecorderFolder& b) {
                         if (a.recoveryCopy.isEmpty() != b.recoveryCopy.isEmpty()) {
                             return b.recoveryCopy.isEmpty();
                         }
                         return a.copyModifiedMs > b.copyModifiedMs;
                     });
    return ended;
}

namespace {

std::vector<SeenRecoveryFile> recoveryFilesIn(const QString& folder) {
    std::vector<SeenRecoveryFile> files;
    const QFileInfoList entries = QDir(folder + kRecoverySubfolder)
                                      .entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        files.push_back({entry.fileName(), entry.lastModified().toMSecsSinceEpoch()});
    }
    return files;
}

}  // namespace

EndedFolders::EndedFolders() = default;
EndedFolders::~EndedFolders() = default;
EndedFolders::EndedFolders(EndedFolders&&) noexcept = default;
EndedFolders& EndedFolders::operator=(EndedFolders&&) noexcept = default;

EndedFolders EndedFolders::take(const QString& programFolder, const QString& cacheFolder) {
    const QStringList cacheEntries =
        QDir(cacheFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    std::vector<SeenRecorderFolder> seen;
    // Taking a folder's lock is what tells that no running program holds it: QLockFile takes
    // over a lock whose process is gone, and never one a live process holds.
    std::map<QString, std::unique_ptr<QLockFile>> locks;
    for (const QString& folder :
         recorderFolderCandidates(programFolder, cacheFolder, cacheEntries)) {
        if (!QFileInfo(folder).isDir()) {
            continue;
        }
        auto lock = std::make_unique<QLockFile>(recorderLockFile(folder));
        const bool held = !lock->tryLock(0);
        seen.push_back(
            {folder, held, held ? std::vector<SeenRecoveryFile>{} : recoveryFilesIn(folder)});
        if (!held) {
            locks[folder] = std::move(lock);
        }
    }
    EndedFolders result;
    for (const EndedRecorderFolder& ended : endedRecorderFolders(seen)) {
        std::unique_ptr<QLockFile>& lock = locks[ended.folder];
        if (ended.recoveryCopy.isEmpty()) {
            // Frames of a record no one can go on with.
            platform::DeleteFolder(ended.folder);
            lock.reset();
            continue;
        }
        result.folders_.push_back(ended);
        result.locks_.push_back(std::move(lock));
    }
    return result;
}

QString EndedFolders::newestRecoveryCopy() const {
    return folders_.empty() ? QString() : folders_.front().recoveryCopy;
}

void EndedFolders::removeAll() {
    for (const EndedRecorderFolder& ended : folders_) {
        platform::DeleteFolder(ended.folder);
    }
    folders_.clear();
    locks_.clear();  // unlocks and removes the lock files
}
