// Removes a folder with everything in it, clearing read-only bits first so that
// protected frame files do not keep the folder alive.
#pragma once

#include <QString>

namespace platform {

// Deletes `folder` and its contents; stops at the first entry that cannot be
// deleted. Returns whether the folder itself was removed.
bool DeleteFolder(const QString& folder);

}  // namespace platform
