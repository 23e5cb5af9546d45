// The recovery copy: the picture being edited, kept on disk by a worker thread so that the
// work survives a crash or a kill of the program.
#pragma once

#include <QImage>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class RecoveryCopyWriter {
public:
    using Interval = std::chrono::milliseconds;
    // The copy is written at most this often; what is kept meanwhile waits for it.
    static constexpr Interval kInterval{10000};
    using FailureReport = std::function<void(const QString& message)>;

    // Copies go into `folder` (ending in "/"), which is made on the first write; its parent is
    // never made, so a copy cannot bring back a removed recorder folder. The first copy is
    // written one interval after construction at the earliest. `reportFailure` runs on the
    // worker thread with the message of a write that failed.
    explicit RecoveryCopyWriter(QString folder, FailureReport reportFailure = {},
                                Interval interval = kInterval);
    // Lets a write in progress end, drops the picture still waiting, and removes the copy.
    ~RecoveryCopyWriter();
    RecoveryCopyWriter(const RecoveryCopyWriter&) = delete;
    RecoveryCopyWriter& operator=(const RecoveryCopyWriter&) = delete;

    // Hands the picture and its base name to the worker and returns at once: the picture is
    // an implicitly shared copy, so no pixel is copied here. A picture still waiting is
    // replaced, so the newest one is always the one written.
    void keep(const QImage& picture, const QString& baseName);
    void setInterval(Interval interval);
    // Waits until no picture waits and no write runs; false when `timeout` passes first.
    bool waitUntilWritten(Interval timeout);
    // The file of the newest copy written; empty while there is none.
    QString copyFile() const;

private:
    struct Waiting {
        QImage picture;
        QString baseName;
    };
    void run();
    void write(const Waiting& waiting);

    const QString folder_;
    const FailureReport reportFailure_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Interval interval_;
    std::chrono::steady_clock::time_point lastStart_;
    std::optional<Waiting> waiting_;
    bool writing_ = false;
    bool stopping_ = false;
    QString copyFile_;
    std::thread worker_;  // last, so that it starts when everything above is set
};
