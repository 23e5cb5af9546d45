#include "app/recovery_copy.h"

#include <QDir>
#include <QFile>
#include <exception>

#include "app/ended_folders.h"
#include "formats/picture_file.h"

RecoveryCopyWriter::RecoveryCopyWriter(QString folder, FailureReport reportFailure,
                                       Interval interval)
    : folder_(std::move(folder)),
      reportFailure_(std::move(reportFailure)),
      interval_(interval),
      lastStart_(std::chrono::steady_clock::now()),
      worker_([this] { run(); }) {}

RecoveryCopyWriter::~RecoveryCopyWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    if (!copyFile_.isEmpty()) {
        QFile::remove(copyFile_);
        QDir().rmdir(folder_);  // only when nothing else is in it
    }
}

void RecoveryCopyWriter::keep(const QImage& picture, const QString& baseName) {
    {
        const std::lock_guard lock(mutex_);
        waiting_ = Waiting{picture, baseName};
    }
    changed_.notify_all();
}

void RecoveryCopyWriter::setInterval(Interval interval) {
    {
        const std::lock_guard lock(mutex_);
        interval_ = interval;
    }
    changed_.notify_all();
}

bool RecoveryCopyWriter::waitUntilWritten(Interval timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !waiting_ && !writing_; });
}

QString RecoveryCopyWriter::copyFile() const {
    const std::lock_guard lock(mutex_);
    return copyFile_;
}

void RecoveryCopyWriter::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!waiting_) {
            changed_.wait(lock);
            continue;
        }
        const auto due = lastStart_ + interval_;
        if (std::chrono::steady_clock::now() < due) {
            changed_.wait_until(lock, due);
            continue;
        }
        const Waiting waiting = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lastStart_ = std::chrono::steady_clock::now();
        lock.unlock();
        write(waiting);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

void RecoveryCopyWriter::write(const Waiting& waiting) {
    const QString file = folder_ + waiting.baseName + kRecoveryCopyExtension;
    try {
        QDir().mkdir(folder_);
        // Under a temporary name first: a kill during the write leaves the last copy whole.
        formats::writeFileAtomically(file, formats::encodeForFileName(waiting.picture, file));
    } catch (const std::exception& error) {
        if (reportFailure_) {
            reportFailure_(QString::fromUtf8(error.what()));
        }
        return;
    }
    const std::lock_guard lock(mutex_);
    // Another name (another picture opened): the copy of the earlier one goes.
    if (!copyFile_.isEmpty() && copyFile_ != file) {
        QFile::remove(copyFile_);
    }
    copyFile_ = file;
}
