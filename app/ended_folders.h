// Recorder folders left behind by a Mugwarp that ended without closing (a crash, a kill, a lost
// session): its frames and, when it had been editing, the recovery copy of its picture.
#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// A recorder folder keeps the recovery copy in this subfolder, apart from the frames. The copy
// is named as the picture's base name with this extension, so that opening it gives the
// picture its name back (see pictureBaseNameOf).
inline constexpr const char* kRecoverySubfolder = "recovery";
inline constexpr const char* kRecoveryCopyExtension = ".bmp";

// A file found in a recorder folder's recovery subfolder.
struct SeenRecoveryFile {
    QString name;
    qint64 modifiedMs = 0;  // since the epoch
};

// A recorder folder as found on disk.
struct SeenRecorderFolder {
    QString folder;  // ends in "/"
    bool heldByRunningProgram = false;
    std::vector<SeenRecoveryFile> recoveryFiles;
};

// A folder of an ended program and the recovery copy it holds.
struct EndedRecorderFolder {
    QString folder;
    QString recoveryCopy;  // the path of its newest copy; empty when it holds none
    qint64 copyModifiedMs = 0;

    bool operator==(const EndedRecorderFolder&) const = default;
};

// The recorder folders among `programFolder`/recorder/ and `cacheFolder`/recorder-PID/ (PID
// in digits) that could belong to a Mugwarp, given the names of the entries in the cache
// folder. `programFolder`'s comes first.
QStringList recorderFolderCandidates(const QString& programFolder, const QString& cacheFolder,
                                     const QStringList& cacheEntries);

// The folders of ended programs among `seen`, folders of running ones left out, those with
// the newest recovery copy first and those without one last. A copy is a file with the copy's
// extension; a temporary file of a write that was cut off does not count.
std::vector<EndedRecorderFolder> endedRecorderFolders(const std::vector<SeenRecorderFolder>& seen);

// The folders of ended programs, found at start before this program claims its own. The ones
// with a recovery copy are locked while held here, so no other Mugwarp starting meanwhile
// takes them; those without one are removed at once, frames and all.
class EndedFolders {
public:
    EndedFolders();
    // Unlocks the folders held and leaves them as they are, to be offered at a later start.
    ~EndedFolders();
    EndedFolders(EndedFolders&&) noexcept;
    EndedFolders& operator=(EndedFolders&&) noexcept;

    // Looks at the candidates of recorderFolderCandidates(). A folder whose lock a running
    // program holds is not touched.
    static EndedFolders take(const QString& programFolder, const QString& cacheFolder);

    // The path of the newest recovery copy held; empty when there is none.
    QString newestRecoveryCopy() const;
    // Removes every folder held with everything in it, and unlocks it.
    void removeAll();

private:
    std::vector<EndedRecorderFolder> folders_;
    std::vector<std::unique_ptr<QLockFile>> locks_;
};
