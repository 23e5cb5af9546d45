// The limits on the memory this process may really use: half the machine's memory, the limit
// of its control group and of every group above it (cgroup v1 and v2), and its address-space
// limit. Each comes with what already counts against it, so the room left under it is known.
// Everything is read from small files under a root folder a test can lay out itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Where the facts come from.
struct MemorySources {
    std::string root = "/";  // the folder holding proc/ and sys/
    // The address-space limit (RLIMIT_AS) in bytes, kNoMemoryLimit for none; unset: getrlimit().
    std::optional<uint64_t> addressSpaceLimit;
    uint64_t pageBytes = 0;  // the unit of proc/self/statm; 0: the system's page size
};

inline constexpr uint64_t kNoMemoryLimit = UINT64_MAX;

struct MemoryLimit {
    enum class Kind { HalfOfMachine, ControlGroup, AddressSpace };
    Kind kind = Kind::HalfOfMachine;
    uint64_t limit = 0;  // bytes
    // Bytes already counted against it: this process's resident memory for half the machine,
    // the group's usage less its reclaimable file cache for a group, the mapped size for the
    // address space.
    uint64_t used = 0;
    std::string group;  // the group's folder (under the root), for a control group
};

// Every limit that binds this process; groups without one ("max", v1's huge "no limit"
// value) are left out. Half the machine's memory is always there (of 4 GiB when
// proc/meminfo cannot be read).
std::vector<MemoryLimit> memoryLimits(const MemorySources& sources = {});

// Hands the free pages inside the heap back to the system, so that what the process holds
// is what it uses once large amounts were freed.
void releaseFreeHeap();

}  // namespace platform
