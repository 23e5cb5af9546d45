#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "player/frame_walk.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using player::FrameSpan;
using player::FrameWalk;

void appendWord(Bytes& file, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
}

// A player of `imageEnd` bytes followed by frames of the given sizes and their count.
Bytes recordingFile(std::size_t imageEnd, const std::vector<std::uint32_t>& sizes) {
    Bytes file(imageEnd, 0xE5);
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        file.insert(file.end(), sizes[k], static_cast<std::uint8_t>(k + 1));
        appendWord(file, sizes[k] + 4);
    }
    appendWord(file, static_cast<std::uint32_t>(sizes.size()));
    return file;
}

std::uint32_t wordAt(const Bytes& file, std::size_t at) {
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = word << 8 | file[at + static_cast<std::size_t>(i)];
    }
    return word;
}

void putWord(Bytes& file, std::size_t at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

// Walks `file`, failing the test on any read outside the frames' part [imageEnd, size).
FrameWalk walk(const Bytes& file, std::uint64_t imageEnd, int* reads = nullptr) {
    const player::ReadAt read = [&](std::uint64_t offset, std::size_t size, std::uint8_t* dest) {
        if (reads != nullptr) {
            ++*reads;
        }
        if (offset < imageEnd || offset > file.size() || size > file.size() - offset) {
            ADD_FAILURE() << "read of " << size << " bytes at " << offset << " outside ["
                          << imageEnd << ", " << file.size() << ")";
            return false;
        }
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), size, dest);
        return true;
    };
    return player::walkFrames(file.size(), imageEnd, read);
}

void expectRefused(const FrameWalk& result, const std::string& reason) {
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.frames.empty());
    EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
}

TEST(FrameWalk, FindsFramesAfterThePlayer) {
    constexpr std::size_t kImage = 5000;
    const Bytes file = recordingFile(kImage, {1000, 2000});
    ASSERT_EQ(file.size(), kImage + 3012);
    const FrameWalk result = walk(file, kImage);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.frames, (std::vector<FrameSpan>{{kImage, 1000}, {kImage + 1004, 2000}}));

    // The smallest frames, right at the start of the file.
    const FrameWalk tiny = walk(recordingFile(0, {2, 3, 2}), 0);
    ASSERT_TRUE(tiny.ok()) << tiny.error;
    EXPECT_EQ(tiny.frames, (std::vector<FrameSpan>{{0, 2}, {6, 3}, {13, 2}}));
}

TEST(FrameWalk, RefusesTailsWithoutFrames) {
    constexpr std::size_t kImage = 100;
    Bytes file(kImage, 0);
    expectRefused(walk(file, kImage), "no frames follow");
    file.resize(kImage + 3);
    expectRefused(walk(file, kImage), "ends before the frame count");
    expectRefused(walk(file, kImage + 4), "longer than its file");

    Bytes zero = recordingFile(kImage, {});
    expectRefused(walk(zero, kImage), "frame count is 0");
}

TEST(FrameWalk, RefusesCountsTheFileCannotHold) {
    constexpr std::size_t kImage = 64;
    Bytes file = recordingFile(kImage, {1000, 2000});
    // 3008 bytes before the count hold at most 501 frames of 2 bytes and their words.
    putWord(file, file.size() - 4, 502);
    expectRefused(walk(file, kImage), "more than the file can hold");
    int reads = 0;
    putWord(file, file.size() - 4, 0xFFFFFFFF);
    expectRefused(walk(file, kImage, &reads), "more than the file can hold");
    EXPECT_EQ(reads, 1);  // refused from the count alone

    // A count that fits but is one too many: frame 1's word would leave nothing for frame 1.
    putWord(file, file.size() - 4, 3);
    expectRefused(walk(file, kImage), "no room for the 1 frames before it");
}

TEST(FrameWalk, RefusesBadLengthWords) {
    constexpr std::size_t kImage = 32;
    const Bytes good = recordingFile(kImage, {10, 20});
    const std::size_t lastWord = good.size() - 8;
    const std::size_t firstWord = kImage + 10;

    for (const std::uint32_t length : {0u, 4u, 5u}) {
        Bytes file = good;
        putWord(file, lastWord, length);
        expectRefused(walk(file, kImage), "is too small for a frame");
    }
    Bytes file = good;
    putWord(file, firstWord, 15);  // one byte into the player
    expectRefused(walk(file, kImage), "frame 1's length word 15 reaches into the player");
    file = good;
    putWord(file, lastWord, 0xFFFFFFF0);
    expectRefused(walk(file, kImage), "frame 2's length word 4294967280 reaches into");
    file = good;
    putWord(file, lastWord, 36);  // swallows frame 1 but stays after the player
    expectRefused(walk(file, kImage), "no room for the 1 frames before it");
}

TEST(FrameWalk, RefusesBytesBetweenPlayerAndFirstFrame) {
    constexpr std::size_t kImage = 40;
    Bytes file = recordingFile(kImage, {10, 20});
    file.insert(file.begin() + kImage, 7, 0x00);
    expectRefused(walk(file, kImage), "7 stray bytes");

    // A count one short leaves frame 1 and its word unclaimed.
    file = recordingFile(kImage, {10, 20});
    putWord(file, file.size() - 4, 1);
    expectRefused(walk(file, kImage), "14 stray bytes");
}

TEST(FrameWalk, ReportsUnreadableBytes) {
    const Bytes file = recordingFile(16, {10, 20});
    const player::ReadAt failing = [&](std::uint64_t offset, std::size_t size, std::uint8_t* dest) {
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), size, dest);
        return offset != 16 + 10;  // frame 1's word
    };
    const FrameWalk result = player::walkFrames(file.size(), 16, failing);
    expectRefused(result, "cannot read the file at byte 26");
}

// Random recordings, some with a byte changed: the walk never reads outside the frames' part,
// and whatever it accepts is a layout that reproduces the file's words.
TEST(FrameWalk, RandomTailsStayInsideTheFile) {
    std::mt19937 random(20240611);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::size_t image = random() % 40;
        std::vector<std::uint32_t> sizes(random() % 5);
        for (auto& size : sizes) {
            size = random() % 12;
        }
        Bytes file = recordingFile(image, sizes);
        const bool changed = random() % 3 != 0 && file.size() > image;
        if (changed) {
            file[image + random() % (file.size() - image)] = static_cast<std::uint8_t>(random());
        }
        if (random() % 8 == 0) {
            file.resize(image + random() % (file.size() - image + 1));
        }
        const FrameWalk result = walk(file, image);
        if (!result.ok()) {
            continue;
        }
        ++accepted;
        std::uint64_t at = image;
        for (const FrameSpan& span : result.frames) {
            ASSERT_EQ(span.offset, at);
            ASSERT_GE(span.size, player::kMinFrameBytes);
            const std::size_t word = static_cast<std::size_t>(span.offset + span.size);
            ASSERT_EQ(wordAt(file, word), span.size + 4);
            at = word + 4;
        }
        ASSERT_EQ(at + 4, file.size());
        ASSERT_EQ(wordAt(file, static_cast<std::size_t>(at)), result.frames.size());
    }
    EXPECT_GT(accepted, 100);
}

// An ELF64 little-endian header whose section header table of `entries` 64-byte entries
// starts at `sectionsAt`.
Bytes elfHeader(std::uint64_t sectionsAt, std::uint16_t entries) {
    Bytes header(player::kElfHeaderBytes, 0);
    const std::uint8_t ident[] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
    std::copy(std::begin(ident), std::end(ident), header.begin());
    for (int i = 0; i < 8; ++i) {
        header[40 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sectionsAt >> (8 * i));
    }
    header[52] = 64;  // e_ehsize
    header[58] = 64;  // e_shentsize
    header[60] = static_cast<std::uint8_t>(entries);
    header[61] = static_cast<std::uint8_t>(entries >> 8);
    return header;
}

TEST(ElfImageEnd, EndsAfterTheSectionHeaderTable) {
    const Bytes header = elfHeader(0x1000, 300);
    const player::ImageEnd end = player::elfImageEnd(header, 0x1000 + 300 * 64 + 9);
    ASSERT_TRUE(end.ok()) << end.error;
    EXPECT_EQ(end.end, 0x1000u + 300 * 64);
    EXPECT_TRUE(player::elfImageEnd(header, 0x1000 + 300 * 64).ok());
    EXPECT_FALSE(player::elfImageEnd(header, 0x1000 + 300 * 64 - 1).ok());
}

TEST(ElfImageEnd, RefusesOtherHeaders) {
    const auto refused = [](const Bytes& header, std::uint64_t fileSize, const char* reason) {
        const player::ImageEnd end = player::elfImageEnd(header, fileSize);
        EXPECT_FALSE(end.ok());
        EXPECT_NE(end.error.find(reason), std::string::npos) << end.error;
    };
    const Bytes good = elfHeader(4096, 20);
    refused(Bytes(good.begin(), good.end() - 1), 1 << 20, "too short for an ELF header");
    Bytes bad = good;
    bad[1] = 'e';
    refused(bad, 1 << 20, "not an ELF program");
    for (const std::size_t at : {4, 5, 6}) {  // 32-bit, big-endian, other version
        bad = good;
        bad[at] = 3 - bad[at];
        refused(bad, 1 << 20, "not a 64-bit little-endian ELF file");
    }
    bad = good;
    bad[58] = 40;
    refused(bad, 1 << 20, "unexpected header sizes");
    bad = good;
    bad[52] = 52;
    refused(bad, 1 << 20, "unexpected header sizes");
    refused(elfHeader(4096, 0), 1 << 20, "no section header table");
    refused(elfHeader(0, 20), 1 << 20, "no section header table");
    refused(elfHeader(0xFFFFFFFFFFFFFFF0, 0xFFFF), ~0ULL, "runs past the end");
    refused(elfHeader(1 << 20, 1), 1 << 20, "runs past the end");
}

std::uint64_t programEnd(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    Bytes header(player::kElfHeaderBytes);
    stream.read(reinterpret_cast<char*>(header.data()),
                static_cast<std::streamsize>(header.size()));
    const player::ImageEnd end = player::elfImageEnd(header, std::filesystem::file_size(path));
    EXPECT_TRUE(end.ok()) << end.error;
    return end.end;
}

// The linker writes the section header table last, so a linked program ends with it.
TEST(ElfImageEnd, LinkedProgramsEndWithTheirSectionTable) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(programEnd(self), std::filesystem::file_size(self));
#ifdef MUGWARP_PLAYER_FILE
    EXPECT_EQ(programEnd(MUGWARP_PLAYER_FILE), std::filesystem::file_size(MUGWARP_PLAYER_FILE));
#endif
}

}  // namespace
