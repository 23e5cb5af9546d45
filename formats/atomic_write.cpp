#include "formats/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "formats/format_error.h"
#include "platform/file_descriptor.h"

namespace formats {
namespace {

AtomicWriteSeam& currentSeam() {
    static AtomicWriteSeam seam;
    return seam;
}

// Returned where unnamed temporary files cannot be made, so that a named one is used instead.
constexpr int kNoUnnamedFiles = -1;

constexpr std::string_view kTemporaryTag = ".mugwarp-save-";

std::string temporaryNameOf(const std::string& name, pid_t pid) {
    return "." + name + std::string(kTemporaryTag) + std::to_string(pid);
}

// The process whose save to `name` made the folder entry `entry`, if it is such a temporary.
std::optional<pid_t> saverOf(std::string_view entry, const std::string& name) {
    const std::string prefix = "." + name + std::string(kTemporaryTag);
    if (!entry.starts_with(prefix)) {
        return std::nullopt;
    }
    const std::string_view digits = entry.substr(prefix.size());
    pid_t pid = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, pid);
    if (digits.empty() || error != std::errc() || stop != end || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

bool isRunning(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// A save killed after naming its temporary and before renaming it leaves the temporary; the
// next save to the same name removes those whose process is gone.
void removeStaleTemporaries(const std::string& folder, const std::string& name) {
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return;  // the save itself says what is wrong with the folder
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(entries)) {
        const std::optional<pid_t> saver = saverOf(entry->d_name, name);
        if (saver && *saver != self && !isRunning(*saver)) {
            ::unlinkat(::dirfd(entries), entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

// Removes a named temporary on every way out but success.
class TemporaryName {
public:
    explicit TemporaryName(const std::string& path) : path_(path) {}
    ~TemporaryName() {
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

struct Save {
    std::string folder;
    std::string target;     // symbolic links followed
    std::string temporary;  // the named temporary beside the target
    std::optional<mode_t> keptMode;
    const QByteArray& data;

    // A replaced file's mode is set only once the contents are in, so the temporary is never
    // more open than the file it replaces.
    mode_t creationMode() const { return keptMode ? 0600 : 0666; }
};

int writeAll(int fd, const QByteArray& data) {
    const auto write = currentSeam().write != nullptr ? currentSeam().write : &::write;
    const char* bytes = data.constData();
    size_t left = static_cast<size_t>(data.size());
    while (left > 0) {
        const ssize_t written = write(fd, bytes, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    return 0;
}

// Writes the contents and brings them to the disk: 0 or the error.
int fill(int fd, const Save& save) {
    if (const int error = writeAll(fd, save.data)) {
        return error;
    }
    if (save.keptMode) {
        // A file system without modes (FAT) keeps its own; that is no reason to fail the save.
        ::fchmod(fd, *save.keptMode);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Gives the unnamed file the temporary's name: through /proc, or where /proc is missing by
// the descriptor itself (which needs a privilege on older kernels).
int linkUnnamed(int fd, const std::string& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const auto link = [&] {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != ENOENT) {
            return errno;
        }
        return ::linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    };
    int error = link();
    if (error == EEXIST) {
        ::unlink(temporary.c_str());  // left by an earlier save of this process
        error = link();
    }
    return error;
}

// Closes the written temporary file and renames it over the target; the name is kept only
// when that worked, and removed with `named` otherwise.
int closeIntoPlace(platform::FileDescriptor& file, TemporaryName& named, const Save& save) {
    if (const int error = file.close()) {
        return error;
    }
    if (::rename(save.temporary.c_str(), save.target.c_str()) != 0) {
        return errno;
    }
    named.keep();
    return 0;
}

// The file is written without a name, so a failure or a kill before the end leaves nothing.
int saveThroughUnnamedFile(const Save& save) {
    int fd = -1;
    if (currentSeam().noUnnamedFiles) {
        errno = EOPNOTSUPP;
    } else {
        fd = ::open(save.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, save.creationMode());
    }
    platform::FileDescriptor file(fd);
    if (!file.isOpen()) {
        // EISDIR: a kernel without O_TMPFILE; EOPNOTSUPP, EINVAL: a file system without it.
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? kNoUnnamedFiles : errno;
    }
    if (const int error = fill(file.get(), save)) {
        return error;
    }
    if (const int error = linkUnnamed(file.get(), save.temporary)) {
        return error;
    }
    TemporaryName named(save.temporary);
    return closeIntoPlace(file, named, save);
}

int saveThroughNamedFile(const Save& save) {
    const auto create = [&] {
        return ::open(save.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      save.creationMode());
    };
    int fd = create();
    if (fd < 0 && errno == EEXIST) {
        ::unlink(save.temporary.c_str());  // left by an earlier save of this process
        fd = create();
    }
    if (fd < 0) {
        return errno;
    }
    TemporaryName named(save.temporary);
    platform::FileDescriptor file(fd);
    if (const int error = fill(file.get(), save)) {
        return error;
    }
    return closeIntoPlace(file, named, save);
}

// The file a save to path replaces: a symbolic link stays and the file it points to is
// replaced, as far as the links lead somewhere (a loop is replaced as a name).
QFileInfo replacedFileOf(const QString& path) {
    QFileInfo file(path);
    for (int depth = 0; depth < 128 && file.isSymLink(); ++depth) {
        file.setFile(file.symLinkTarget());
    }
    return file.isSymLink() ? QFileInfo(path) : file;
}

[[noreturn]] void failWriting(const QString& path, int error) {
    throw FormatError("Cannot write " + path.toStdString() + ": " +
                      std::generic_category().message(error));
}

}  // namespace

void writeFileAtomically(const QString& path, const QByteArray& data) {
    const QFileInfo replaced = replacedFileOf(path);
    const std::string name = QFile::encodeName(replaced.fileName()).toStdString();
    if (name.empty()) {
        failWriting(path, path.isEmpty() ? ENOENT : EISDIR);
    }
    Save save{QFile::encodeName(replaced.path()).toStdString(),
              QFile::encodeName(replaced.filePath()).toStdString(),
              {},
              std::nullopt,
              data};
    save.temporary = save.folder + "/" + temporaryNameOf(name, ::getpid());
    struct stat existing {};
    if (::stat(save.target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            failWriting(path, EISDIR);
        }
        // A file the user may not change is not replaced behind its back.
        if (::access(save.target.c_str(), W_OK) != 0) {
            failWriting(path, errno);
        }
        save.keptMode = existing.st_mode & 0777;
    }
    removeStaleTemporaries(save.folder, name);
    int error = saveThroughUnnamedFile(save);
    if (error == kNoUnnamedFiles) {
        error = saveThroughNamedFile(save);
    }
    if (error != 0) {
        failWriting(path, error);
    }
}

void setAtomicWriteSeam(const AtomicWriteSeam& seam) {
    currentSeam() = seam;
}

}  // namespace formats
