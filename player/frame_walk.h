#pragma once
// Finding the JPEG frames appended to the player's own file. An exported recording is the
// player program (S bytes), then for every frame its bytes followed by a 32-bit word holding
// its size plus 4, then a 32-bit frame count; all words little-endian. The frames are found
// from the end of the file, so the player need not know its own size in advance, and S is
// checked against the program's ELF header.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace player {

// Reads `size` bytes at `offset` of the file into `dest`; false when they cannot be read.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t size, std::uint8_t* dest)>;

struct FrameSpan {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    bool operator==(const FrameSpan&) const = default;
};

// The smallest frame accepted: a JPEG starts with a two-byte marker.
inline constexpr std::uint64_t kMinFrameBytes = 2;
// Each frame's length word, and the count at the end.
inline constexpr std::uint64_t kWordBytes = 4;

struct FrameWalk {
    std::vector<FrameSpan> frames;  // frame 1 first
    std::string error;              // empty on success
    bool ok() const { return error.empty(); }
};

// Walks the frames of a file of `fileSize` bytes whose first `imageEnd` bytes are the player
// itself. Reads only the length words and the count, all inside [imageEnd, fileSize).
FrameWalk walkFrames(std::uint64_t fileSize, std::uint64_t imageEnd, const ReadAt& read);

inline constexpr std::size_t kElfHeaderBytes = 64;

struct ImageEnd {
    std::uint64_t end = 0;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// The size of the linked program whose ELF64 little-endian header starts `header`: the end of
// its section header table, which the linker writes last. `fileSize` bounds the answer.
ImageEnd elfImageEnd(std::span<const std::uint8_t> header, std::uint64_t fileSize);

}  // namespace player
