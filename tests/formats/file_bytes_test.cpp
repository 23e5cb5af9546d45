// Reading input files: only regular files, and never more than the limit.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "formats/file_bytes.h"
#include "formats/picture_file.h"
#include "formats/picture_limits.h"
#include "test_pictures.h"

namespace {

using formats_test::messageOf;

// A listening socket bound to path, closed at the end.
class BoundSocket {
public:
    explicit BoundSocket(const QString& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(),
                    std::min(sizeof address.sun_path - 1, static_cast<size_t>(name.size())));
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~BoundSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

TEST(FileBytes, OnlyRegularFilesWithinTheLimitAreRead) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pipe = folder.filePath("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString socketPath = folder.filePath("socket.bmp");
    const BoundSocket socket(socketPath);
    ASSERT_TRUE(socket.bound());
    // Sparse: it takes no room on the disk, and nothing of it may be read.
    const QString huge = folder.filePath("huge.bmp");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(formats::kMaxPictureFileBytes + 1));
    }
    const QString missing = folder.filePath("missing.bmp");

    // A named pipe without a writer and /dev/zero would each hang or fill the memory if read.
    const struct {
        QString path;
        QString message;
    } refused[] = {
        {pipe, pipe + " is not a regular file: it is a named pipe."},
        {"/dev/zero", "/dev/zero is not a regular file: it is a character device."},
        {folder.path(), folder.path() + " is not a regular file: it is a folder."},
        {socketPath, socketPath + " is not a regular file: it is a socket."},
        {huge, huge + " is too large to be a picture Mugwarp can edit."},
        {missing, "Cannot open " + missing + ": No such file or directory"},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(messageOf([&] { formats::readPictureBytes(c.path); }), c.message.toStdString());
        EXPECT_EQ(messageOf([&] { formats::readPictureFile(c.path); }), c.message.toStdString());
    }

    const QString normal = folder.filePath("normal.bin");
    QByteArray contents;
    for (int i = 0; i < 1000; ++i) {
        contents.append(static_cast<char>(i * 7));
    }
    {
        QFile file(normal);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(contents), contents.size());
    }
    EXPECT_EQ(formats::readPictureBytes(normal), contents);
    EXPECT_EQ(formats::readFileBounded(normal, 1000), contents);
    EXPECT_EQ(messageOf([&] { formats::readFileBounded(normal, 999); }),
              (normal + " is larger than 999 bytes.").toStdString());
    EXPECT_THROW(formats::readFileBounded(normal, 999), formats::FileTooLarge);

    // A file whose size says 0 is read to its end all the same, and still within the limit.
    const QByteArray commandLine = formats::readFileBounded("/proc/self/cmdline", 1 << 20);
    EXPECT_TRUE(commandLine.startsWith(QByteArray(program_invocation_name) + '\0'))
        << commandLine.toStdString();
    EXPECT_THROW(formats::readFileBounded("/proc/self/cmdline", 4), formats::FileTooLarge);
}

}  // namespace
