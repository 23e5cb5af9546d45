#include <gtest/gtest.h>

#include <new>
#include <unordered_set>

#include "app/edit_history.h"
#include "app/tiled_picture.h"

namespace {

QImage noisePicture(int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_BGR888);
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < width * 3; ++i) {
            state = state * 1664525u + 1013904223u;
            row[i] = static_cast<uchar>(state >> 24);
        }
    }
    return image;
}

size_t distinctTiles(const std::vector<const TiledPicture*>& snapshots) {
    std::unordered_set<const void*> seen;
    for (const TiledPicture* snapshot : snapshots) {
        for (const auto& tile : snapshot->tiles()) {
            seen.insert(tile.get());
        }
    }
    return seen.size();
}

}  // namespace

TEST(TiledPicture, GivesBackEveryPixelForAnySize) {
    for (const QSize size :
         {QSize(1, 1), QSize(64, 64), QSize(65, 63), QSize(130, 70), QSize(3, 200)}) {
        const QImage picture = noisePicture(size.width(), size.height(), size.width());
        const TiledPicture snapshot = TiledPicture::capture(picture, nullptr);
        EXPECT_EQ(snapshot.toImage(), picture) << size.width() << "x" << size.height();
    }
}

TEST(TiledPicture, SharesOnlyTheUnchangedTiles) {
    QImage picture = noisePicture(200, 150, 7);  // 4 x 3 tiles
    const TiledPicture first = TiledPicture::capture(picture, nullptr);
    picture.scanLine(70)[3 * 130 + 1] ^= 0x01;  // one byte in tile (2, 1)
    const TiledPicture second = TiledPicture::capture(picture, &first);
    EXPECT_EQ(distinctTiles({&first, &second}), 13u);
    EXPECT_EQ(second.toImage(), picture);
    EXPECT_NE(first.toImage(), picture);

    // A neighbour of another size shares nothing and still gives the right pixels.
    const QImage other = noisePicture(100, 100, 9);
    const TiledPicture third = TiledPicture::capture(other, &second);
    EXPECT_EQ(distinctTiles({&second, &third}), 12u + 4u);
    EXPECT_EQ(third.toImage(), other);
}

TEST(EditHistory, CountsSharedBytesOnceAndRefusesBeyondItsBudget) {
    EditHistory history;
    history.create();
    QImage picture = noisePicture(128, 128, 3);  // 4 tiles of 12288 bytes
    history.store(1, picture, 0);
    EXPECT_EQ(history.bytes(), 4u * 12288u);
    picture.scanLine(0)[0] ^= 0xFF;
    history.store(2, picture, 1);
    EXPECT_EQ(history.bytes(), 5u * 12288u);
    EXPECT_TRUE(history.picture(3).isNull());

    // Out of memory: the slot and the others keep what they held.
    history.setMemoryLimit(5u * 12288u + 100u);
    const QImage before = history.picture(2);
    picture.scanLine(127)[0] ^= 0xFF;
    EXPECT_THROW(history.store(2, picture, 1), std::bad_alloc);
    EXPECT_EQ(history.picture(2), before);
    EXPECT_EQ(history.bytes(), 5u * 12288u);
    history.setMemoryLimit(0);
    history.store(2, picture, 1);
    EXPECT_EQ(history.picture(2), picture);

    EXPECT_THROW(history.picture(0), std::out_of_range);
    EXPECT_THROW(history.picture(1002), std::out_of_range);
}

TEST(EditHistory, RingWrapsBothWays) {
    EXPECT_EQ(nextSlot(1), 2);
    EXPECT_EQ(nextSlot(1001), 1);
    EXPECT_EQ(previousSlot(1), 1001);
    EXPECT_EQ(previousSlot(1001), 1000);
}
