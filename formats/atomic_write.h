// Writing a file whole or not at all. It parses nothing, so it has no fuzz target.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>

namespace formats {

// Writes data to a temporary file in path's folder, flushes it to the disk and renames it over
// path only then, so a failed write leaves any old file untouched, no new file under the name
// and no temporary file behind. The temporary file has no name while it is written where the
// file system allows; elsewhere it is ".NAME.mugwarp-save-PID" beside the target, removed on
// any failure, and one left by a save that was killed (its process is gone) is removed by the
// next save to that name. A new file gets the usual mode (0666 less the umask), a replaced one
// keeps its own; a symbolic link stays a link and its target is replaced. Throws FormatError
// "Cannot write PATH: REASON", REASON the system's own text ("No space left on device").
void writeFileAtomically(const QString& path, const QByteArray& data);

// For tests: stand-ins for what the system does in writeFileAtomically().
struct AtomicWriteSeam {
    // Replaces write(2); nullptr: the system's.
    ssize_t (*write)(int fd, const void* data, size_t size) = nullptr;
    // Behave as on a file system that cannot make unnamed temporary files.
    bool noUnnamedFiles = false;
};
// Applies until the next call; AtomicWriteSeam{} restores the system's behaviour.
void setAtomicWriteSeam(const AtomicWriteSeam& seam);

}  // namespace formats
