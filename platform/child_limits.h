// Hard limits for a helper program we start on input we do not trust: set in the child
// between fork and exec, so the program is bound from its first instruction.
#pragma once

#include <sys/resource.h>

#include <cstdint>

namespace platform {

struct ChildLimits {
    uint64_t addressSpaceBytes = 0;  // RLIMIT_AS
    uint64_t cpuSeconds = 0;         // RLIMIT_CPU: SIGXCPU when spent
    uint64_t fileBytes = 0;          // RLIMIT_FSIZE: the largest file it may write, SIGXFSZ beyond
};

// The limits in the form setrlimit() takes, worked out before the fork so that the child only
// makes system calls.
struct PreparedChildLimits {
    rlimit addressSpace{};
    rlimit cpu{};
    rlimit file{};
};

PreparedChildLimits prepareChildLimits(const ChildLimits& limits);

// Runs in the forked child (async-signal-safe): applies the limits, forbids core files, and
// has the child killed when the thread that started it ends. Returns false when a limit could
// not be set; the caller then ends the child before it runs anything.
bool applyChildLimits(const PreparedChildLimits& limits);

}  // namespace platform
