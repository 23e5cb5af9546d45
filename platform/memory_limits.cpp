#include "platform/memory_limits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {
namespace {

namespace fs = std::filesystem;

// A v1 group without a limit reports the page counter's maximum, about 2^63; anything this
// large is no limit on any machine.
constexpr uint64_t kUnlimitedFrom = uint64_t{1} << 60;

std::optional<std::string> readText(const fs::path& path) {
    std::ifstream file(path);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<uint64_t> parseNumber(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(first);
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// A limit file's value: "max" and the v1 "no limit" value are none.
std::optional<uint64_t> readLimit(const fs::path& path) {
    const std::optional<std::string> text = readText(path);
    if (!text) {
        return std::nullopt;
    }
    const std::optional<uint64_t> value = parseNumber(*text);
    if (!value || *value >= kUnlimitedFrom) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const size_t end = std::min(line.find(' ', start), line.size());
        result.push_back(line.substr(start, end - start));
        at = end;
    }
    return result;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        result.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return result;
}

// The value of `key` in a "key value" file such as memory.stat.
std::optional<uint64_t> statValue(const std::string& text, std::string_view key) {
    for (const std::string_view line : lines(text)) {
        const std::vector<std::string_view> parts = words(line);
        if (parts.size() == 2 && parts[0] == key) {
            return parseNumber(parts[1]);
        }
    }
    return std::nullopt;
}

bool hasItem(std::string_view list, std::string_view item) {
    while (true) {
        const size_t comma = list.find(',');
        if (list.substr(0, comma) == item) {
            return true;
        }
        if (comma == std::string_view::npos) {
            return false;
        }
        list.remove_prefix(comma + 1);
    }
}

// mountinfo writes a space in a path as \040 (and so for tab, newline and backslash).
std::string unescapeMountPath(std::string_view text) {
    std::string path;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos) {
                path += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                          (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        path += text[i];
    }
    return path;
}

// One kind of group: where this process sits in it, and where it is mounted.
struct Hierarchy {
    bool v2 = false;
    std::optional<std::string> groupPath;  // from proc/self/cgroup
    std::string mountRoot = "/";           // the part of the tree the mount shows
    std::optional<std::string> mountPoint;
};

void readOwnGroups(const fs::path& root, Hierarchy& v1, Hierarchy& v2) {
    const std::optional<std::string> text = readText(root / "proc/self/cgroup");
    if (!text) {
        return;
    }
    for (const std::string_view line : lines(*text)) {
        const size_t first = line.find(':');
        const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            continue;
        }
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string path(line.substr(second + 1));
        if (id == "0" && controllers.empty()) {
            v2.groupPath = path;
        } else if (hasItem(controllers, "memory")) {
            v1.groupPath = path;
        }
    }
}

void readMounts(const fs::path& root, Hierarchy& v1, Hierarchy& v2) {
    const std::optional<std::string> text = readText(root / "proc/self/mountinfo");
    if (text) {
        for (const std::string_view line : lines(*text)) {
            const std::vector<std::string_view> parts = words(line);
            size_t dash = 6;
            while (dash < parts.size() && parts[dash] != "-") {
                ++dash;
            }
            if (dash + 1 >= parts.size()) {
                continue;
            }
            const std::string_view type = parts[dash + 1];
            const bool isV2 = type == "cgroup2";
            const bool isMemoryV1 =
                type == "cgroup" && dash + 3 < parts.size() && hasItem(parts[dash + 3], "memory");
            Hierarchy& hierarchy = isV2 ? v2 : v1;
            if ((!isV2 && !isMemoryV1) || hierarchy.mountPoint) {
                continue;
            }
            hierarchy.mountRoot = unescapeMountPath(parts[3]);
            hierarchy.mountPoint = unescapeMountPath(parts[4]);
        }
    }
    if (!v1.mountPoint) {
        v1.mountPoint = "/sys/fs/cgroup/memory";
    }
    if (!v2.mountPoint) {
        v2.mountPoint = "/sys/fs/cgroup";
    }
}

// The limits of the group and of each group above it, up to the top of the mount.
void addGroupLimits(const fs::path& root, const Hierarchy& hierarchy,
                    std::vector<MemoryLimit>& limits) {
    if (!hierarchy.groupPath || !hierarchy.mountPoint) {
        return;
    }
    fs::path relative =
        fs::path(*hierarchy.groupPath).lexically_normal().lexically_relative(hierarchy.mountRoot);
    // A group outside what the mount shows: the top of the mount is the nearest one seen.
    if (relative.empty() || relative == "." || *relative.begin() == "..") {
        relative.clear();
    }
    // Normalised first, so that no ".." in a mount point leads out of the root.
    const fs::path mount =
        root / fs::path(*hierarchy.mountPoint).lexically_normal().relative_path();
    const char* limitFile = hierarchy.v2 ? "memory.max" : "memory.limit_in_bytes";
    const char* usageFile = hierarchy.v2 ? "memory.current" : "memory.usage_in_bytes";
    const char* cacheKey = hierarchy.v2 ? "inactive_file" : "total_inactive_file";
    while (true) {
        const fs::path folder = mount / relative;
        if (const std::optional<uint64_t> limit = readLimit(folder / limitFile)) {
            MemoryLimit found;
            found.kind = MemoryLimit::Kind::ControlGroup;
            found.limit = *limit;
            found.group = folder.string();
            const std::optional<std::string> usage = readText(folder / usageFile);
            const std::optional<std::string> stat = readText(folder / "memory.stat");
            // Without a usage figure the group is taken as full: no room is promised.
            found.used = usage ? parseNumber(*usage).value_or(*limit) : *limit;
            // Unused file cache is given back before anything is killed.
            const uint64_t cache = stat ? statValue(*stat, cacheKey).value_or(0) : 0;
            found.used -= std::min(cache, found.used);
            limits.push_back(std::move(found));
        }
        if (relative.empty()) {
            break;
        }
        relative = relative.parent_path();
    }
}

}  // namespace

std::vector<MemoryLimit> memoryLimits(const MemorySources& sources) {
    const fs::path root(sources.root);
    const uint64_t page = sources.pageBytes != 0
                              ? sources.pageBytes
                              : static_cast<uint64_t>(std::max(sysconf(_SC_PAGESIZE), 1L));
    uint64_t mapped = 0;
    uint64_t resident = 0;
    if (const std::optional<std::string> statm = readText(root / "proc/self/statm")) {
        const std::vector<std::string_view> pages = words(*statm);
        if (pages.size() >= 2) {
            mapped = parseNumber(pages[0]).value_or(0) * page;
            resident = parseNumber(pages[1]).value_or(0) * page;
        }
    }

    std::vector<MemoryLimit> limits;
    uint64_t machine = uint64_t{4} << 30;
    if (const std::optional<std::string> meminfo = readText(root / "proc/meminfo")) {
        const size_t at = meminfo->find("MemTotal:");
        if (at != std::string::npos) {
            machine = parseNumber(std::string_view(*meminfo).substr(at + 9)).value_or(0) * 1024;
        }
        if (machine == 0) {
            machine = uint64_t{4} << 30;
        }
    }
    limits.push_back({MemoryLimit::Kind::HalfOfMachine, machine / 2, resident, {}});

    Hierarchy v1;
    Hierarchy v2;
    v2.v2 = true;
    readOwnGroups(root, v1, v2);
    if (v1.groupPath || v2.groupPath) {
        readMounts(root, v1, v2);
    }
    addGroupLimits(root, v1, limits);
    addGroupLimits(root, v2, limits);

    uint64_t addressSpace = kNoMemoryLimit;
    if (sources.addressSpaceLimit) {
        addressSpace = *sources.addressSpaceLimit;
    } else if (rlimit limit{};
               getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        addressSpace = static_cast<uint64_t>(limit.rlim_cur);
    }
    if (addressSpace != kNoMemoryLimit) {
        limits.push_back({MemoryLimit::Kind::AddressSpace, addressSpace, mapped, {}});
    }
    return limits;
}

void releaseFreeHeap() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace platform
