// A POSIX file descriptor closed when it goes out of scope.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Gives the descriptor up to a new owner without closing it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // Closes now: 0, or the error close reported (a file system may report a failed write
    // only here). Linux frees the descriptor even when close is interrupted.
    int close() {
        if (fd_ < 0) {
            return 0;
        }
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

}  // namespace platform
