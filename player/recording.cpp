#include "player/recording.h"

#include <algorithm>
#include <array>
#include <new>

namespace player {
namespace {

Recording failure(std::string reason) {
    Recording recording;
    recording.error = std::move(reason);
    return recording;
}

}  // namespace

Recording loadRecording(std::uint64_t fileSize, const ReadAt& read,
                        const std::function<bool()>& keepGoing) {
    std::array<std::uint8_t, kElfHeaderBytes> header{};
    const std::size_t headerBytes =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, header.size()));
    if (!read(0, headerBytes, header.data())) {
        return failure("cannot read the player's header");
    }
    const ImageEnd imageEnd =
        elfImageEnd(std::span<const std::uint8_t>(header.data(), headerBytes), fileSize);
    if (!imageEnd.ok()) {
        return failure(imageEnd.error);
    }
    const FrameWalk walk = walkFrames(fileSize, imageEnd.end, read);
    if (!walk.ok()) {
        return failure(walk.error);
    }

    Recording recording;
    std::vector<std::uint8_t> bytes;
    try {
        recording.frames.reserve(walk.frames.size());
        for (std::size_t i = 0; i < walk.frames.size(); ++i) {
            const FrameSpan& span = walk.frames[i];
            const std::string name = "frame " + std::to_string(i + 1);
            if (span.size > kMaxFrameBytes) {
                return failure(name + " is larger than " +
                               std::to_string(kMaxFrameBytes / (1024 * 1024)) + " MB");
            }
            bytes.resize(static_cast<std::size_t>(span.size));
            if (!read(span.offset, bytes.size(), bytes.data())) {
                return failure("cannot read " + name);
            }
            DecodedFrame decoded = decodeFrame(bytes);
            if (!decoded.ok()) {
                return failure(name + ": " + decoded.error);
            }
            recording.frames.push_back(std::move(decoded.frame));
            if (keepGoing && !keepGoing()) {
                return Recording{};
            }
        }
    } catch (const std::bad_alloc&) {
        return failure("not enough memory for the frames");
    }
    return recording;
}

}  // namespace player
