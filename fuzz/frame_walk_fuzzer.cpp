// Fuzz target: the player's reading of its own file. elfImageEnd and walkFrames must refuse
// bad input with a message, never read outside the recording's part of the file, and only
// accept layouts whose words describe the file exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/frame_walk.h"

namespace {

std::uint32_t wordAt(const uint8_t* data, std::uint64_t at) {
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> header(data, std::min(size, player::kElfHeaderBytes));
    const player::ImageEnd end = player::elfImageEnd(header, size);
    if (end.ok() && (end.end > size || end.end < player::kElfHeaderBytes)) {
        __builtin_trap();
    }
    // Inputs that are no ELF program take the player's size from their first byte.
    const std::uint64_t image = end.ok() ? end.end : size == 0 ? 0 : data[0] % (size + 1);

    const player::ReadAt read = [&](std::uint64_t offset, std::size_t count, std::uint8_t* dest) {
        if (offset < image || offset > size || count > size - offset) {
            __builtin_trap();
        }
        std::copy_n(data + offset, count, dest);
        return true;
    };
    const player::FrameWalk walk = player::walkFrames(size, image, read);
    if (!walk.ok()) {
        if (!walk.frames.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    std::uint64_t at = image;
    for (const player::FrameSpan& frame : walk.frames) {
        if (frame.offset != at || frame.size < player::kMinFrameBytes ||
            frame.size + 8 > size - at || wordAt(data, at + frame.size) != frame.size + 4) {
            __builtin_trap();
        }
        at += frame.size + 4;
    }
    if (walk.frames.empty() || at + 4 != size || wordAt(data, at) != walk.frames.size()) {
        __builtin_trap();
    }
    return 0;
}
