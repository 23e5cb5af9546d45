// Decoding a picture off the user-interface thread: the window keeps painting while a worker
// reads the file, and a slow open (an EPS file whose PostScript is being drawn, a huge
// photograph) shows a progress dialog with Cancel.
#pragma once

#include <QImage>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

class QWidget;

// How long an open may take before the progress dialog appears.
inline constexpr int kOpenProgressDelayMs = 400;

// The objectName of the progress dialog, for tests that answer it.
inline constexpr const char* kOpenProgressName = "OpenProgress";

// Runs decode on a worker thread and waits for it in a local event loop, taking no user input
// until the progress dialog shows (after kOpenProgressDelayMs), which is modal and names
// `fileName`. Returns the picture; nullopt when the user pressed Cancel, which sets the flag
// handed to decode and abandons the open at once (a decode that goes on ends on its own and its
// result is dropped). Rethrows what decode threw.
std::optional<QImage> decodeInBackground(
    QWidget* parent, const QString& fileName,
    std::function<QImage(const std::atomic<bool>& cancelled)> decode);
