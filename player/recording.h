#pragma once
// Loading the recording appended to the player: find the player's own end from its ELF header,
// walk the frames from the end of the file and decode each to the size it is shown at.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "player/frame_decoder.h"
#include "player/frame_walk.h"

namespace player {

// Frames larger than this are refused rather than read into memory.
inline constexpr std::uint64_t kMaxFrameBytes = 512ULL * 1024 * 1024;

struct Recording {
    std::vector<ShownFrame> frames;  // frame 1 first
    std::string error;               // why the recording cannot be played; empty on success
    bool ok() const { return error.empty(); }
};

// Loads the recording of a file of `fileSize` bytes read through `read`. `keepGoing` is asked
// after each decoded frame; when it answers false the load stops with an empty recording.
Recording loadRecording(std::uint64_t fileSize, const ReadAt& read,
                        const std::function<bool()>& keepGoing = {});

}  // namespace player
