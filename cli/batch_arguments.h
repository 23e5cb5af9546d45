// The command line of mugwarp-batch, parsed without touching any file:
//   mugwarp-batch INPUT OUTPUT [OPERATION ARGS...] [--repeat N] [--webp-quality Q]
// After "--" every word is a name or an argument, never an option.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

#include "cli/batch_operations.h"

namespace batch {

// Bad arguments (exit status 2, with the usage text).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct BatchArguments {
    QString input;
    QString output;
    // nullptr: convert only.
    const OperationInfo* operation = nullptr;
    // One per argument of the operation; a colour is given by its colour value.
    std::vector<int> values;
    // The File arguments' names, in order.
    std::vector<QString> files;
    int repeat = 1;
    int webpQuality = 0;  // 0: a .webp OUTPUT is lossless
    bool helpWanted = false;
    bool listFaces = false;  // --faces: print the faces of INPUT, write nothing
};

// Parses the arguments after the program name. Throws UsageError.
BatchArguments parseBatchArguments(const QStringList& arguments);

QString usageText();

}  // namespace batch
