// The command lines that start the PostScript interpreter: its own arguments, and the
// bubblewrap sandbox around it where one can be made. Pure functions of their inputs, apart
// from hostRootEntries() and sandboxWorks(), which look at this machine.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace formats {

// What the interpreter is asked to do: draw `input` into a width x height portable pixel map
// at 96 dpi, written to its standard output.
struct PageRequest {
    qint64 width = 0;
    qint64 height = 0;
    QString input;  // the PostScript file
};

QStringList interpreterArguments(const PageRequest& page);

// An entry of the root folder that programs find their libraries through (/bin, /lib, ...):
// a symbolic link into /usr on a merged system, a folder of its own otherwise.
struct RootEntry {
    QString path;
    QString linkTarget;  // empty: a folder, bound read-only
};

// The sandbox: no network or other namespaces shared, the system read-only, no home, no /tmp;
// the page folder read-only and, inside it, the scratch folder a memory file system of
// scratchBytes, the only place that can be written. It ends with its parent.
struct SandboxLayout {
    QString bwrap;    // the bubblewrap program
    QString program;  // the interpreter, bound read-only when it lies outside /usr
    QList<RootEntry> rootEntries;
    QString pageFolder;
    QString scratchFolder;
    qint64 scratchBytes = 0;
};

// bubblewrap's arguments, ending in the interpreter's command line (program first).
QStringList sandboxArguments(const SandboxLayout& layout, const QStringList& programArguments);

// The environment the interpreter gets, sandbox or not: nothing of ours (no GS_OPTIONS, no
// home), the C locale, and the scratch folder as its temporary and home folder.
QStringList interpreterEnvironment(const QString& scratchFolder);

// /bin, /sbin, /lib, /lib32, /lib64 and /libx32 as they are on this machine; missing ones left out.
QList<RootEntry> hostRootEntries();

// Whether bubblewrap can make this sandbox here (a container may refuse it the namespaces):
// tried once per bubblewrap program with `true` inside the layout, and remembered.
bool sandboxWorks(const SandboxLayout& layout);

}  // namespace formats
