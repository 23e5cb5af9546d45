// Where the program keeps its own files. Beside the executable when that can be written, as
// a portable copy expects; otherwise (an installed program, a read-only medium) in the user's
// cache folder.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// The recorder folder of this process, ending in "/". The `recorder` folder beside the
// executable when it can be written and no other running Mugwarp holds it; otherwise a folder
// of this process's own under the user's cache folder. The folder is created and held (by a
// lock file beside it) until release, so that no other copy of the program shares it.
class RecorderFolderClaim {
public:
    // Claims a folder in `programFolder` (normally the executable's folder) or, failing that,
    // under `cacheFolder`. Throws std::runtime_error when neither can be created.
    RecorderFolderClaim(const QString& programFolder, const QString& cacheFolder);
    ~RecorderFolderClaim();
    RecorderFolderClaim(const RecorderFolderClaim&) = delete;
    RecorderFolderClaim& operator=(const RecorderFolderClaim&) = delete;

    const QString& folder() const { return folder_; }
    // Unlocks the folder and removes it with everything in it.
    void releaseAndRemove();

private:
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
};

// The lock file that holds a recorder folder (which ends in "/"): beside it, named as the
// folder with ".lock".
QString recorderLockFile(const QString& folder);
// The user's cache folder for Mugwarp (QStandardPaths::CacheLocation).
QString userCacheFolder();
// The folder that takes the mail attachment: the executable's folder when it can be written,
// otherwise the user's cache folder (created when missing). Ends without "/".
QString attachmentFolder();
