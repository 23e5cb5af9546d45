// Drawing an EPS file's PostScript when it carries no preview: Ghostscript (`gs`) runs as a
// separate process in its safe mode and draws the %%BoundingBox at 96 dpi as a portable map
// on its standard output, which our own reader then decodes. It runs only on a thread that a
// PostScriptPermission allows it on, one at a time in the whole program, with hard limits on
// its memory, processor time and written bytes, and inside a bubblewrap sandbox where `bwrap`
// is installed and works.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

#include "formats/format_error.h"
#include "formats/picture_limits.h"
#include "formats/readers/postscript_permission.h"

namespace formats {

constexpr int kPostScriptDpi = 96;
constexpr int kPostScriptTimeoutMs = 15000;
constexpr int kPostScriptCpuSeconds = 15;
// The largest picture's raster and room for the interpreter itself.
constexpr qint64 kPostScriptMemoryBytes = kMaxPicturePixels * 3 + 256LL * 1024 * 1024;
// Beyond the page's own raster, what its fonts' caches and the like may write.
constexpr qint64 kPostScriptWriteMargin = 16LL * 1024 * 1024;

// The interpreter was stopped because the user cancelled the open.
struct PostScriptCancelled : FormatError {
    PostScriptCancelled() : FormatError("Opening the EPS file was cancelled.") {}
};

struct PostScriptRendering {
    enum class Sandbox { WhereAvailable, Off };

    // The interpreter to start; empty means `gs` found on the PATH.
    QString program;
    // Longer than this and the interpreter is killed and the picture refused.
    int timeoutMs = kPostScriptTimeoutMs;
    // Its processor time (RLIMIT_CPU) and address space (RLIMIT_AS).
    int cpuSeconds = kPostScriptCpuSeconds;
    qint64 memoryBytes = kPostScriptMemoryBytes;
    // The most it may write into its scratch folder, per file (RLIMIT_FSIZE) and in all;
    // 0 means the page's raster (width · height · 3 and its header) plus kPostScriptWriteMargin.
    qint64 writtenBytes = 0;
    Sandbox sandbox = Sandbox::WhereAvailable;
};

// True when this build starts an interpreter at all and `gs` (or how.program) exists.
bool postScriptRendererAvailable(const PostScriptRendering& how = {});

// Whether the interpreter of `how` would run inside the bubblewrap sandbox: `bwrap` is on the
// PATH, the sandbox is not turned off, and a trial sandbox works on this machine.
bool postScriptSandboxInUse(const PostScriptRendering& how = {});

// The picture the PostScript program draws in its %%BoundingBox, as a Format_BGR888 picture
// of ceil(width · 96 / 72) x ceil(height · 96 / 72) pixels. nullopt, with nothing started,
// when this thread has no PostScriptPermission that allows rendering or no interpreter is
// available; nullopt too when the interpreter fails (an error in the program, no page drawn).
// Throws FormatError for a missing or absurd bounding box, a size beyond the picture limits
// (before anything is started) and a program that runs longer than how.timeoutMs or goes
// beyond its limits of processor time, memory or written bytes; PostScriptCancelled when the
// permission's cancellation flag is set.
std::optional<QImage> renderPostScript(const QByteArray& postscript,
                                       const PostScriptRendering& how = {});

// readEps (format_readers.h) with the given interpreter settings for files without a preview.
QImage readEpsRendering(const QByteArray& data, const PostScriptRendering& how);

}  // namespace formats
