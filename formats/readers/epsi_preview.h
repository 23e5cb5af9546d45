// The preview a PostScript program can carry as comments (%%BeginPreview: ... %%EndPreview),
// a grey bitmap written as hexadecimal digits.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace formats {

// The preview of the PostScript text, as a Format_BGR888 picture, or nullopt when the text has
// no %%BeginPreview comment. Rows run top to bottom; a sample of depth 1, 2, 4 or 8 bits is
// the amount of ink, so 0 is white and all bits set is black. Throws FormatError for a preview
// with a bad header, too few digits or a size beyond the picture limits.
std::optional<QImage> readEpsiPreview(const QByteArray& postscript);

}  // namespace formats
