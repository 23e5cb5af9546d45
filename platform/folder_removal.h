// Removes a folder with everything in it, making its folders writable first so that
// protected frame files do not keep the folder alive. It never follows a symbolic link: a
// link inside is removed as a link, and its target's files and permissions stay as they are.
#pragma once

#include <QString>

namespace platform {

// Deletes `folder` and its contents; stops at the first entry that cannot be
// deleted. Returns whether the folder itself was removed. A `folder` that is itself a
// symbolic link is removed as a link.
bool DeleteFolder(const QString& folder);

}  // namespace platform
