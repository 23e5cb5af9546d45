// Drawing an EPS file's PostScript when it carries no preview: Ghostscript (`gs`) runs as a
// separate process in its safe mode and draws the %%BoundingBox at 96 dpi into a portable
// map in a temporary folder, which our own reader then decodes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace formats {

constexpr int kPostScriptDpi = 96;
constexpr int kPostScriptTimeoutMs = 15000;

struct PostScriptRendering {
    // The interpreter to start; empty means `gs` found on the PATH.
    QString program;
    // Longer than this and the interpreter is killed and the picture refused.
    int timeoutMs = kPostScriptTimeoutMs;
};

// True when this build starts an interpreter at all and `gs` (or how.program) exists.
bool postScriptRendererAvailable(const PostScriptRendering& how = {});

// The picture the PostScript program draws in its %%BoundingBox, as a Format_BGR888 picture
// of ceil(width · 96 / 72) x ceil(height · 96 / 72) pixels. nullopt when no interpreter is
// available or the interpreter fails (an error in the program, no page drawn). Throws
// FormatError for a missing or absurd bounding box, a size beyond the picture limits (before
// anything is started) and a program that runs longer than how.timeoutMs.
std::optional<QImage> renderPostScript(const QByteArray& postscript,
                                       const PostScriptRendering& how = {});

// readEps (format_readers.h) with the given interpreter settings for files without a preview.
QImage readEpsRendering(const QByteArray& data, const PostScriptRendering& how);

}  // namespace formats
