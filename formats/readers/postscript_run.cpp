#include "formats/readers/postscript_run.h"

#include <unistd.h>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "formats/readers/postscript_permission.h"

namespace formats {
namespace {

constexpr int kPollMs = 20;
constexpr qsizetype kKeptErrorBytes = 64 * 1024;
// A folder of so many entries is not a font cache: a program creating empty files for ever.
constexpr qint64 kMaxScratchEntries = 4096;

QProcessEnvironment environmentOf(const QStringList& variables) {
    QProcessEnvironment environment;
    for (const QString& variable : variables) {
        const qsizetype equals = variable.indexOf(u'=');
        environment.insert(variable.left(equals), variable.mid(equals + 1));
    }
    return environment;
}

void keepFirst(QByteArray& kept, const QByteArray& more) {
    if (kept.size() < kKeptErrorBytes) {
        kept += more.left(kKeptErrorBytes - kept.size());
    }
}

}  // namespace

FolderUse folderUse(const QString& folder) {
    FolderUse use;
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        entries.next();
        ++use.entries;
        const QFileInfo entry = entries.fileInfo();
        if (entry.isFile() && !entry.isSymLink()) {
            use.bytes += entry.size();
        }
    }
    return use;
}

WatchedRun runWatched(const WatchedCommand& command) {
    WatchedRun run;
    QProcess process;
    process.setProcessEnvironment(environmentOf(command.environment));
    process.setWorkingDirectory(command.workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    const platform::PreparedChildLimits limits = platform::prepareChildLimits(command.limits);
    process.setChildProcessModifier([limits] {
        if (!platform::applyChildLimits(limits)) {
            _exit(127);
        }
    });
    process.start(command.program, command.arguments);
    if (!process.waitForStarted()) {
        return run;
    }

    QElapsedTimer clock;
    clock.start();
    run.ending = WatchedRun::Ending::Exited;
    auto drain = [&] {
        run.output += process.readAllStandardOutput();
        keepFirst(run.errors, process.readAllStandardError());
    };
    while (process.state() != QProcess::NotRunning) {
        const qint64 before = clock.elapsed();
        if (!process.waitForReadyRead(kPollMs) && clock.elapsed() - before < kPollMs / 2) {
            process.waitForFinished(kPollMs);  // its output is closed: no reason to spin
        }
        drain();
        if (process.state() == QProcess::NotRunning) {
            break;
        }
        if (run.output.size() > command.outputBytes) {
            run.ending = WatchedRun::Ending::OutputTooLong;
        } else if (PostScriptPermission::cancelRequested()) {
            run.ending = WatchedRun::Ending::Cancelled;
        } else if (clock.elapsed() > command.timeoutMs) {
            run.ending = WatchedRun::Ending::TimedOut;
        } else if (!command.watchedScratch.isEmpty()) {
            const FolderUse use = folderUse(command.watchedScratch);
            if (use.bytes > command.scratchBytes || use.entries > kMaxScratchEntries) {
                run.ending = WatchedRun::Ending::ScratchFull;
            }
        }
        if (run.ending != WatchedRun::Ending::Exited) {
            process.kill();
            process.waitForFinished(-1);
            run.output.clear();
            return run;
        }
    }
    process.waitForFinished(-1);
    drain();
    if (run.output.size() > command.outputBytes) {
        run.ending = WatchedRun::Ending::OutputTooLong;
        run.output.clear();
        return run;
    }
    // Qt gives the signal's number as the exit code of a program that a signal ended.
    if (process.exitStatus() == QProcess::CrashExit) {
        run.signal = process.exitCode();
    } else {
        run.exitCode = process.exitCode();
    }
    return run;
}

}  // namespace formats
