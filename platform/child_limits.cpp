#include "platform/child_limits.h"

#include <signal.h>
#include <sys/prctl.h>

#include <algorithm>

namespace platform {
namespace {

// A limit may only be lowered: never ask for more than the hard limit this process has.
rlimit within(int resource, rlim_t soft, rlim_t hard) {
    rlimit current{};
    if (getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY) {
        hard = std::min(hard, current.rlim_max);
        soft = std::min(soft, hard);
    }
    return {soft, hard};
}

}  // namespace

PreparedChildLimits prepareChildLimits(const ChildLimits& limits) {
    PreparedChildLimits prepared;
    prepared.addressSpace = within(RLIMIT_AS, limits.addressSpaceBytes, limits.addressSpaceBytes);
    // The soft processor limit sends SIGXCPU, which ends the program; the hard one a second
    // later is SIGKILL for a program that catches it.
    prepared.cpu = within(RLIMIT_CPU, limits.cpuSeconds, limits.cpuSeconds + 1);
    prepared.file = within(RLIMIT_FSIZE, limits.fileBytes, limits.fileBytes);
    return prepared;
}

bool applyChildLimits(const PreparedChildLimits& limits) {
    const rlimit noCore{0, 0};
    return setrlimit(RLIMIT_CORE, &noCore) == 0 &&
           setrlimit(RLIMIT_AS, &limits.addressSpace) == 0 &&
           setrlimit(RLIMIT_CPU, &limits.cpu) == 0 && setrlimit(RLIMIT_FSIZE, &limits.file) == 0 &&
           prctl(PR_SET_PDEATHSIG, SIGKILL) == 0;
}

}  // namespace platform
