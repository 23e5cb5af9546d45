// Fuzz target: the memory limits read from any contents of the files they come from
// (proc/self/cgroup, proc/self/mountinfo, proc/meminfo, proc/self/statm and the groups'
// memory files), laid out under a root folder of its own. Nothing crashes, half the machine's
// memory is always among the limits, and every group read lies under the root, whatever
// folder a mount point names.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/memory_limits.h"

namespace {

namespace fs = std::filesystem;

// The files the input's sections (split at NUL bytes) become, in order.
constexpr const char* kFiles[] = {
    "proc/self/cgroup",
    "proc/self/mountinfo",
    "proc/meminfo",
    "proc/self/statm",
    "sys/fs/cgroup/memory.max",
    "sys/fs/cgroup/a/memory.max",
    "sys/fs/cgroup/a/memory.current",
    "sys/fs/cgroup/a/memory.stat",
    "sys/fs/cgroup/memory/memory.limit_in_bytes",
    "sys/fs/cgroup/memory/a/memory.limit_in_bytes",
    "sys/fs/cgroup/memory/a/memory.usage_in_bytes",
};

// The root folder, inside a folder that also holds limit files beside it ("outside"), which a
// mount point leading out of the root would find.
const fs::path& fuzzRoot() {
    // Never destroyed: the exit handler that removes the folders runs after static destructors.
    static const fs::path* const root = [] {
        std::string name = (fs::temp_directory_path() / "memory-limits-fuzz-XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        const fs::path base(name);
        fs::create_directories(base / "outside");
        for (const char* file : {"memory.max", "memory.limit_in_bytes"}) {
            std::ofstream(base / "outside" / file) << "1048576\n";
        }
        std::atexit([] { fs::remove_all(fuzzRoot().parent_path()); });
        return new fs::path(base / "root");
    }();
    return *root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& root = fuzzRoot();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const char* file : kFiles) {
        const fs::path path = root / file;
        fs::remove(path);
        if (input.empty()) {
            continue;  // the files after the input's end are missing
        }
        const size_t end = std::min(input.find('\0'), input.size());
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(input.data(), static_cast<std::streamsize>(end));
        input.remove_prefix(std::min(end + 1, input.size()));
    }

    platform::MemorySources sources;
    sources.root = root.string();
    sources.addressSpaceLimit = platform::kNoMemoryLimit;
    sources.pageBytes = 4096;
    bool halfOfMachine = false;
    for (const platform::MemoryLimit& limit : platform::memoryLimits(sources)) {
        halfOfMachine |= limit.kind == platform::MemoryLimit::Kind::HalfOfMachine;
        if (limit.kind == platform::MemoryLimit::Kind::ControlGroup) {
            const fs::path group = fs::path(limit.group).lexically_normal();
            const fs::path inside = group.lexically_relative(root);
            if (inside.empty() || *inside.begin() == "..") {
                __builtin_trap();
            }
        }
    }
    if (!halfOfMachine) {
        __builtin_trap();
    }
    return 0;
}
