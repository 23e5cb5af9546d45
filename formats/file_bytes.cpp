#include "formats/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <system_error>

#include "formats/picture_limits.h"
#include "platform/file_descriptor.h"

namespace formats {
namespace {

// What a file of this type is, for the message that refuses it.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a kind of file Mugwarp reads";
}

[[noreturn]] void failNotRegular(const QString& path, mode_t mode) {
    throw FormatError(path.toStdString() + " is not a regular file: it is " + kindOf(mode) + ".");
}

[[noreturn]] void failWithError(const char* what, const QString& path, int error) {
    throw FormatError(std::string(what) + " " + path.toStdString() + ": " +
                      std::generic_category().message(error));
}

}  // namespace

QByteArray readFileBounded(const QString& path, qint64 limit) {
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait for a writer; O_NOCTTY:
    // a terminal named here must not become ours.
    const platform::FileDescriptor file(
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        const int error = errno;
        // A socket cannot be opened at all; say what it is rather than "No such device".
        struct stat info {};
        if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            failNotRegular(path, info.st_mode);
        }
        failWithError("Cannot open", path, error);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        failWithError("Cannot read", path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        failNotRegular(path, info.st_mode);
    }
    const auto tooLarge = [&] {
        return FileTooLarge(path.toStdString() + " is larger than " + std::to_string(limit) +
                            " bytes.");
    };
    if (info.st_size > limit) {
        throw tooLarge();
    }
    // The size is only a first guess: a file may grow while it is read, and some (those of
    // /proc) say 0. One byte beyond the limit is room enough to see that there is more.
    QByteArray data(static_cast<qsizetype>(std::min<qint64>(info.st_size, limit) + 1),
                    Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (filled > limit) {
                throw tooLarge();
            }
            data.resize(static_cast<qsizetype>(
                std::min<qint64>(limit + 1, std::max<qint64>(2 * filled, 64 * 1024))));
        }
        const ssize_t got =
            ::read(file.get(), data.data() + filled, static_cast<size_t>(data.size() - filled));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            failWithError("Cannot read", path, errno);
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    if (filled > limit) {
        throw tooLarge();
    }
    data.truncate(filled);
    return data;
}

QByteArray readPictureBytes(const QString& path) {
    try {
        return readFileBounded(path, kMaxPictureFileBytes);
    } catch (const FileTooLarge&) {
        throw FormatError(path.toStdString() + " is too large to be a picture Mugwarp can edit.");
    }
}

}  // namespace formats
