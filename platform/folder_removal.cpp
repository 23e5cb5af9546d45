#include "platform/folder_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"

namespace platform {

namespace {

// Opens the folder `name` inside `parent` (AT_FDCWD for a path) for listing, never through a
// link: a link, or anything else that is not a folder, gives -1. The folder is first made
// readable, writable and searchable for its owner, so that the entries of a protected folder
// can still be listed and unlinked. The change goes through the
// folder already opened, so a link swapped in meanwhile is not followed either.
int openFolderNoFollow(int parent, const char* name) {
    FileDescriptor path(::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (path.get() < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(path.get(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return -1;
    }
    if ((info.st_mode & S_IRWXU) != S_IRWXU) {
        const std::string self = "/proc/self/fd/" + std::to_string(path.get());
        (void)::chmod(self.c_str(), (info.st_mode & 07777) | S_IRWXU);
    }
    return ::openat(path.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Removes every entry of the open folder `folder`, stopping at the first one that cannot be
// removed. Links and files are unlinked as they are: nothing is ever reached through a link,
// and a file's permissions are never changed (deleting needs only the folder's).
bool removeEntries(int folder) {
    std::vector<std::string> names;
    {
        FileDescriptor listing(::dup(folder));
        if (listing.get() < 0) {
            return false;
        }
        DIR* dir = ::fdopendir(listing.get());
        if (dir == nullptr) {
            return false;
        }
        listing.release();  // the stream owns it now
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    for (const std::string& name : names) {
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            FileDescriptor inner(openFolderNoFollow(folder, name.c_str()));
            if (inner.get() < 0 || !removeEntries(inner.get())) {
                return false;
            }
            if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) {
                return false;
            }
        } else if (::unlinkat(folder, name.c_str(), 0) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool DeleteFolder(const QString& folder) {
    // A trailing separator would make the system resolve a link at the end of the path.
    QString path = folder;
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (name.isEmpty() || ::lstat(name.constData(), &info) != 0) {
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        // A link given as the folder goes as a link; what it points to stays.
        return ::unlink(name.constData()) == 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        return false;
    }
    {
        FileDescriptor opened(openFolderNoFollow(AT_FDCWD, name.constData()));
        if (opened.get() >= 0) {
            (void)removeEntries(opened.get());
        }
    }
    return ::rmdir(name.constData()) == 0;
}

}  // namespace platform
