#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "player/recording.h"
#include "test_jpeg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void appendWord(Bytes& file, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
}

// A stand-in player: an ELF header whose two section headers end at byte 192.
Bytes playerImage() {
    Bytes image(192, 0);
    const std::uint8_t ident[] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
    std::copy(std::begin(ident), std::end(ident), image.begin());
    image[40] = 64;  // e_shoff
    image[52] = 64;  // e_ehsize
    image[58] = 64;  // e_shentsize
    image[60] = 2;   // e_shnum
    return image;
}

Bytes exported(const std::vector<Bytes>& frames) {
    Bytes file = playerImage();
    for (const Bytes& frame : frames) {
        file.insert(file.end(), frame.begin(), frame.end());
        appendWord(file, static_cast<std::uint32_t>(frame.size() + 4));
    }
    appendWord(file, static_cast<std::uint32_t>(frames.size()));
    return file;
}

player::Recording load(const Bytes& file, const std::function<bool()>& keepGoing = {}) {
    const player::ReadAt read = [&](std::uint64_t offset, std::size_t size, std::uint8_t* dest) {
        if (offset > file.size() || size > file.size() - offset) {
            ADD_FAILURE() << "read outside the file";
            return false;
        }
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), size, dest);
        return true;
    };
    return player::loadRecording(file.size(), read, keepGoing);
}

TEST(Recording, DecodesEveryFrameToItsPlace) {
    const Bytes red = player_test::solidJpeg(64, 48, {255, 0, 0});
    const Bytes tall = player_test::solidJpeg(30, 60, {0, 0, 255});
    const player::Recording recording = load(exported({red, tall, red}));
    ASSERT_TRUE(recording.ok()) << recording.error;
    ASSERT_EQ(recording.frames.size(), 3u);
    EXPECT_EQ(recording.frames[0].place, player::fitFrame(64, 48));
    EXPECT_EQ(recording.frames[1].place, player::fitFrame(30, 60));
    EXPECT_EQ(recording.frames[1].image.width, recording.frames[1].place.width);
    EXPECT_EQ(recording.frames[1].image.height, 469);
    EXPECT_GT(recording.frames[1].image.pixels[2], 240);  // blue
    EXPECT_EQ(recording.frames[2].image.pixels, recording.frames[0].image.pixels);
}

TEST(Recording, NamesWhatIsDamaged) {
    const auto expectError = [](const player::Recording& recording, const std::string& reason) {
        EXPECT_FALSE(recording.ok());
        EXPECT_TRUE(recording.frames.empty());
        EXPECT_NE(recording.error.find(reason), std::string::npos) << recording.error;
    };
    const Bytes good = player_test::solidJpeg(8, 8, {9, 9, 9});
    expectError(load(exported({good, {'n', 'o', 'p', 'e'}})), "frame 2: not a readable JPEG");
    expectError(load(playerImage()), "no frames follow");
    Bytes wrongCount = exported({good, good});
    wrongCount.back() = 0;
    wrongCount[wrongCount.size() - 4] = 3;
    expectError(load(wrongCount), "frame 2's length word");
    Bytes notElf = exported({good});
    notElf[0] = 'M';
    expectError(load(notElf), "not an ELF program");
    expectError(load(Bytes(10, 0x7f)), "too short for an ELF header");
}

TEST(Recording, StopsWhenToldTo) {
    const Bytes frame = player_test::solidJpeg(8, 8, {9, 9, 9});
    int asked = 0;
    const player::Recording recording =
        load(exported({frame, frame, frame}), [&] { return ++asked < 2; });
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(recording.ok());
    EXPECT_TRUE(recording.frames.empty());
}

}  // namespace
