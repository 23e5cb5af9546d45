// Reading a whole input file into memory, safely: only a regular file is read, and never more
// than a limit, so a device, a named pipe or a huge file is refused at once instead of filling
// the memory or waiting for ever.
// It parses nothing, so it has no fuzz target.
#pragma once

#include <QByteArray>
#include <QString>

#include "formats/format_error.h"

namespace formats {

// A regular file holding more bytes than the reader's limit.
struct FileTooLarge : FormatError {
    using FormatError::FormatError;
};

// The bytes of the regular file at path, at most limit of them. The file is opened without
// waiting (a named pipe with no writer does not block) and checked by its descriptor before
// anything is read. Throws FormatError: "Cannot open PATH: REASON", "PATH is not a regular file:
// it is a folder." (a named pipe, a character device, a block device, a socket), "Cannot read
// PATH: REASON"; and FileTooLarge ("PATH is larger than LIMIT bytes.") when it holds more than
// limit bytes, which is noticed after at most limit + 1 bytes are read.
QByteArray readFileBounded(const QString& path, qint64 limit);

// readFileBounded() within the picture limits; a larger file is "too large to be a picture
// Mugwarp can edit."
QByteArray readPictureBytes(const QString& path);

}  // namespace formats
