// Placeholder: the reader is being written.
#include "formats/format_error.h"
#include "formats/readers/format_readers.h"

namespace formats {

QImage readWebp(const QByteArray&) {
    throw FormatError("This picture type cannot be read yet.");
}

}  // namespace formats
