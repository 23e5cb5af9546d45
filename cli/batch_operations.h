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

// How an argument is written on the command line.
enum class ArgumentKind {
    Integer,  // a whole decimal number
    Colour,   // #rrggbb in hexadecimal, either case; its value is the colour value
    Word,     // one of a list of words; its value is the word's place in the list
    File,     // a file's name; its value is its place among the operation's file names
};

struct Argument {
    // Not explicit: a plain name in the table stands for an integer argument.
    Argument(const char* name, ArgumentKind kind = ArgumentKind::Integer,
             std::vector<std::string> words = {})
        : name(name), kind(kind), words(std::move(words)) {}

    const char* name;  // for the usage text
    ArgumentKind kind;
    std::vector<std::string> words;  // for ArgumentKind::Word
};

struct OperationInfo {
    const char* name;
    std::vector<Argument> arguments;
    const char* summary;
    // Checks the values, one per argument, against the picture (throws OperationError) and
    // applies the operation once. A colour's value has red in the low byte.
    void (*apply)(QImage& picture, std::span<const int> values);
    // Values taken when none are given; empty when the arguments must be given.
    std::vector<int> defaults = {};
    // For operations with File arguments, in place of `apply`: the file names as given.
    void (*applyWithFiles)(QImage& picture, std::span<const int> values,
                           std::span<const QString> files) = nullptr;
};

const std::vector<OperationInfo>& operationTable();

// The entry named `name`, or nullptr.
const OperationInfo* findOperation(const std::string& name);

}  // namespace batch
