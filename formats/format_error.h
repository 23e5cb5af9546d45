// The one exception type of the picture readers and writers: its text is a one-line message
// fit to show the user as it is.
#pragma once

#include <stdexcept>

namespace formats {

struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace formats
