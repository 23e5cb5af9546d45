// Saving whole or not at all: a full disk says so, keeps the old file and leaves nothing behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formats/atomic_write.h"
#include "test_pictures.h"

namespace {

using formats_test::messageOf;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry of the folder, hidden ones too, in order.
QStringList entriesOf(const QString& folder) {
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                 QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(data), data.size());
}

// A disk that is full once a file holds 100 bytes.
ssize_t diskFullAfter100Bytes(int fd, const void* data, size_t size) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= 100) {
        errno = ENOSPC;
        return -1;
    }
    return ::write(fd, data, std::min(size, static_cast<size_t>(100 - at)));
}

// The number of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

// Sets the seam for one test and restores the system's calls after it, whatever happens.
struct SeamInUse {
    explicit SeamInUse(const formats::AtomicWriteSeam& seam) { formats::setAtomicWriteSeam(seam); }
    ~SeamInUse() { formats::setAtomicWriteSeam({}); }
};

TEST(AtomicWrite, AFailedSaveSaysWhyKeepsTheOldFileAndLeavesNothing) {
    const mode_t umaskNow = ::umask(022);  // reading the umask sets it, so set it back
    ::umask(umaskNow);
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const QString target = folder.filePath("picture.bmp");
        const SeamInUse plain({nullptr, !unnamed});
        formats::writeFileAtomically(target, "old contents");
        EXPECT_EQ(modeOf(target), 0666 & ~umaskNow);
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);

        // Left by a killed save to this name: removed. By a save still running (process 1
        // always runs) or to another name: kept.
        const QString ended = QString::number(endedProcess());
        const QString stale = ".picture.bmp.mugwarp-save-" + ended;
        const QString running = ".picture.bmp.mugwarp-save-1";
        const QString otherName = ".other.bmp.mugwarp-save-" + ended;
        for (const QString& name : {stale, running, otherName}) {
            writeFile(folder.filePath(name), "left over");
        }
        QStringList expected{otherName, running, "picture.bmp"};
        expected.sort();

        {
            const SeamInUse full({&diskFullAfter100Bytes, !unnamed});
            EXPECT_EQ(
                messageOf([&] { formats::writeFileAtomically(target, QByteArray(1000, 'x')); }),
                "Cannot write " + target.toStdString() + ": No space left on device");
        }
        EXPECT_EQ(contentsOf(target), "old contents");
        EXPECT_EQ(entriesOf(folder.path()), expected);

        // A save that succeeds keeps the replaced file's mode; through a link, the link stays.
        const SeamInUse again({nullptr, !unnamed});
        const QString link = folder.filePath("link.bmp");
        ASSERT_TRUE(QFile::link(target, link));
        formats::writeFileAtomically(link, "new contents");
        EXPECT_EQ(contentsOf(target), "new contents");
        EXPECT_EQ(modeOf(target), 0640u);
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        expected.append("link.bmp");
        expected.sort();
        EXPECT_EQ(entriesOf(folder.path()), expected);
    }
}

// A tmpfs of 64 KiB in a mount namespace of this thread's own, where mounting is allowed.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString& at) : at_(QFile::encodeName(at)) {
        // Private first, so the mount reaches no other namespace.
        mounted_ = ::unshare(CLONE_NEWNS) == 0 &&
                   ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount("tmpfs", at_.constData(), "tmpfs", 0, "size=64k") == 0;
        error_ = mounted_ ? 0 : errno;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(at_.constData(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    const char* why() const { return std::strerror(error_); }

private:
    QByteArray at_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST(AtomicWrite, AFullFileSystemKeepsTheOldFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const SmallFileSystem disk(folder.path());
    if (!disk.mounted()) {
        GTEST_SKIP() << "no tmpfs can be mounted here: " << disk.why();
    }
    const QString target = folder.filePath("picture.bmp");
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        const SeamInUse seam({nullptr, !unnamed});
        formats::writeFileAtomically(target, "old contents");
        EXPECT_EQ(
            messageOf([&] { formats::writeFileAtomically(target, QByteArray(256 * 1024, 'x')); }),
            "Cannot write " + target.toStdString() + ": No space left on device");
        EXPECT_EQ(contentsOf(target), "old contents");
        EXPECT_EQ(entriesOf(folder.path()), QStringList{"picture.bmp"});
    }
}

}  // namespace
