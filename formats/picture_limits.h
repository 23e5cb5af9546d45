// The largest picture Mugwarp agrees to edit, checked by every reader from the file's header
// before it allocates anything.
//
// Each side may be at most 30000 pixels and the whole picture at most 120 million pixels: one
// 24-bit copy is then at most 360 MB, and the effects, which keep a few copies, stay within a
// desktop's memory. 30000 squared is below 2^31, so no product of two coordinates of an
// accepted picture overflows a 32-bit int.
#pragma once

#include <QtGlobal>

namespace formats {

constexpr qint64 kMaxPictureSide = 30000;
constexpr qint64 kMaxPicturePixels = 120'000'000;

// A picture file larger than this cannot hold a picture we accept (a 24-bit BMP of the largest
// size is about 360 MB), so it is refused before it is read into memory.
constexpr qint64 kMaxPictureFileBytes = 512LL * 1024 * 1024;

// Throws FormatError when width x height is empty or larger than the limits above.
// formatName ("JPEG", "BMP") goes into the message.
void checkPictureSize(qint64 width, qint64 height, const char* formatName);

}  // namespace formats
