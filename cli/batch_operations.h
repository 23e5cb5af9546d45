// The operations mugwarp-batch can apply, in one table: a new operation is one more entry.
#pragma once

#include <QImage>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace batch {

// A run-time refusal of an operation's values against the picture (exit status 1).
struct OperationError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct OperationInfo {
    const char* name;
    // Names of the integer arguments, in order, for the usage text.
    std::vector<const char*> argumentNames;
    const char* summary;
    // Checks the values against the picture (throws OperationError) and applies the
    // operation once.
    void (*apply)(QImage& picture, std::span<const int> values);
    // Values taken when none are given; empty when the arguments must be given.
    std::vector<int> defaults = {};
};

const std::vector<OperationInfo>& operationTable();

// The entry named `name`, or nullptr.
const OperationInfo* findOperation(const std::string& name);

}  // namespace batch
