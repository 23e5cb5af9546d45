#include "player/frame_walk.h"

#include <array>

namespace player {
namespace {

std::uint64_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

bool readWord(const ReadAt& read, std::uint64_t offset, std::uint32_t& word) {
    std::array<std::uint8_t, kWordBytes> bytes{};
    if (!read(offset, bytes.size(), bytes.data())) {
        return false;
    }
    word = static_cast<std::uint32_t>(littleEndian(bytes.data(), kWordBytes));
    return true;
}

FrameWalk failure(std::string message) {
    FrameWalk walk;
    walk.error = std::move(message);
    return walk;
}

std::string cannotRead(std::uint64_t offset) {
    return "cannot read the file at byte " + std::to_string(offset);
}

}  // namespace

FrameWalk walkFrames(std::uint64_t fileSize, std::uint64_t imageEnd, const ReadAt& read) {
    if (imageEnd > fileSize) {
        return failure("the player's own program (" + std::to_string(imageEnd) +
                       " bytes) is longer than its file (" + std::to_string(fileSize) + " bytes)");
    }
    const std::uint64_t tail = fileSize - imageEnd;
    if (tail == 0) {
        return failure("no frames follow the player program");
    }
    if (tail < kWordBytes) {
        return failure("the file ends before the frame count");
    }
    std::uint32_t count = 0;
    if (!readWord(read, fileSize - kWordBytes, count)) {
        return failure(cannotRead(fileSize - kWordBytes));
    }
    if (count == 0) {
        return failure("the frame count is 0");
    }
    constexpr std::uint64_t kMinRecord = kMinFrameBytes + kWordBytes;
    if (count > (tail - kWordBytes) / kMinRecord) {
        return failure("the frame count " + std::to_string(count) +
                       " is more than the file can hold");
    }

    std::vector<FrameSpan> frames(count);
    std::uint64_t p = fileSize - kWordBytes;
    for (std::uint64_t k = count; k >= 1; --k) {
        // Room left between the player and p. The count check and the last check below keep
        // it at least kMinRecord * k, so the word ending at p lies after the player.
        const std::uint64_t room = p - imageEnd;
        std::uint32_t length = 0;
        if (!readWord(read, p - kWordBytes, length)) {
            return failure(cannotRead(p - kWordBytes));
        }
        const std::string name =
            "frame " + std::to_string(k) + "'s length word " + std::to_string(length);
        if (length < kMinRecord) {
            return failure(name + " is too small for a frame");
        }
        if (length > room) {
            return failure(name + " reaches into the player program");
        }
        if (length > room - kMinRecord * (k - 1)) {
            return failure(name + " leaves no room for the " + std::to_string(k - 1) +
                           " frames before it");
        }
        frames[k - 1] = FrameSpan{p - length, length - kWordBytes};
        p -= length;
    }
    if (p != imageEnd) {
        return failure(std::to_string(p - imageEnd) +
                       " stray bytes lie between the player and its first frame (or the frame "
                       "count is wrong)");
    }
    FrameWalk walk;
    walk.frames = std::move(frames);
    return walk;
}

ImageEnd elfImageEnd(std::span<const std::uint8_t> header, std::uint64_t fileSize) {
    ImageEnd result;
    if (header.size() < kElfHeaderBytes) {
        result.error = "the file is too short for an ELF header";
        return result;
    }
    const std::uint8_t* h = header.data();
    if (h[0] != 0x7f || h[1] != 'E' || h[2] != 'L' || h[3] != 'F') {
        result.error = "the file is not an ELF program";
        return result;
    }
    if (h[4] != 2 || h[5] != 1 || h[6] != 1) {
        result.error = "the program is not a 64-bit little-endian ELF file of version 1";
        return result;
    }
    const std::uint64_t headerSize = littleEndian(h + 52, 2);
    const std::uint64_t sectionsAt = littleEndian(h + 40, 8);
    const std::uint64_t entrySize = littleEndian(h + 58, 2);
    const std::uint64_t entries = littleEndian(h + 60, 2);
    if (headerSize != kElfHeaderBytes || entrySize != 64) {
        result.error = "the ELF header gives unexpected header sizes";
        return result;
    }
    if (entries == 0 || sectionsAt < kElfHeaderBytes) {
        result.error = "the program has no section header table";
        return result;
    }
    // entries * entrySize is below 2^22, so only the offset can push the end past the file.
    if (sectionsAt > fileSize || entries * entrySize > fileSize - sectionsAt) {
        result.error = "the program's section header table runs past the end of the file";
        return result;
    }
    result.end = sectionsAt + entries * entrySize;
    return result;
}

}  // namespace player
