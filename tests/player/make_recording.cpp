// Writes an exported recording for the player's window tests: the built player followed by
// frames, their length words and the frame count, as Mugwarp exports it.
//   make_recording KIND PLAYER OUTPUT
// KIND: frames (red, green with bytes after its end marker, and a large blue frame),
// damaged-tail (an impossible frame count), not-jpeg (frame 2 is text), bare (no frames).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_jpeg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void appendWord(Bytes& file, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
}

void appendFrames(Bytes& file, const std::vector<Bytes>& frames, std::uint32_t count) {
    for (const Bytes& frame : frames) {
        file.insert(file.end(), frame.begin(), frame.end());
        appendWord(file, static_cast<std::uint32_t>(frame.size() + 4));
    }
    appendWord(file, count);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_recording KIND PLAYER OUTPUT\n");
        return 2;
    }
    const std::string kind = argv[1];
    std::ifstream input(argv[2], std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    if (!input || file.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    const Bytes red = player_test::solidJpeg(64, 48, {255, 0, 0});
    Bytes green = player_test::solidJpeg(64, 48, {0, 255, 0});
    green.insert(green.end(), 100, 0x5A);
    if (kind == "frames") {
        appendFrames(file, {red, green, player_test::solidJpeg(1280, 960, {0, 0, 255})}, 3);
    } else if (kind == "damaged-tail") {
        appendFrames(file, {red, green}, 1000000);
    } else if (kind == "not-jpeg") {
        const std::string text = "These bytes are a note, not a picture.";
        appendFrames(file, {red, Bytes(text.begin(), text.end())}, 2);
    } else if (kind != "bare") {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    std::ofstream output(argv[3], std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(file.data()),
                 static_cast<std::streamsize>(file.size()));
    output.close();
    if (!output) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
