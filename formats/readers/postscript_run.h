// One run of the PostScript interpreter (or of bubblewrap around it) under watch: hard limits
// set in the child before it starts, and a poll that kills it when it runs too long, is
// cancelled, writes more to its output than a page holds or fills its scratch folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/child_limits.h"

namespace formats {

struct WatchedCommand {
    QString program;
    QStringList arguments;
    QStringList environment;  // "NAME=value", the whole environment
    QString workingFolder;
    platform::ChildLimits limits;
    int timeoutMs = 0;
    qint64 outputBytes = 0;  // the most the standard output may carry
    // A folder on this machine to keep under scratchBytes in all (the sandbox bounds its own
    // scratch by itself); empty: none.
    QString watchedScratch;
    qint64 scratchBytes = 0;
};

struct WatchedRun {
    enum class Ending {
        Exited,         // by itself: see exitCode and signal
        NotStarted,     // the program could not be started
        TimedOut,       // ran longer than timeoutMs
        Cancelled,      // the thread's PostScriptPermission asked for it
        OutputTooLong,  // wrote more than outputBytes to its standard output
        ScratchFull,    // wrote more than scratchBytes into the watched scratch folder
    };
    Ending ending = Ending::NotStarted;
    int exitCode = 0;  // when it exited normally
    int signal = 0;    // the signal that ended it, 0 when none
    QByteArray output;
    QByteArray errors;  // the first bytes of its error channel
};

// Runs the command to its end or until the watch stops it; a stopped program is killed and
// waited for before this returns.
WatchedRun runWatched(const WatchedCommand& command);

// The size of every file under folder together, and how many entries it holds.
struct FolderUse {
    qint64 bytes = 0;
    qint64 entries = 0;
};
FolderUse folderUse(const QString& folder);

}  // namespace formats
