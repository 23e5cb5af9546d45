#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/edit_history.h"

namespace {

// A picture of one flat colour: every tile differs from one of another colour.
QImage flatPicture(int width, int height, int colour) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < width * 3; ++i) {
            row[i] = static_cast<uchar>(i % 3 == 0 ? colour : colour >> 8);
        }
    }
    return image;
}

// The main window's bookkeeping around storeStep(): the frame numbering moves on
// whatever was let go, the undo steps shrink by what was.
struct Steps {
    EditHistory history;
    int current = 1;
    int undo = 0;
    int letGo = 0;
    int firstLetGos = 0;

    explicit Steps(const QImage& start) {
        history.create();
        history.store(1, start, 0);
    }
    bool step(const QImage& picture) {
        const EditHistory::StepOutcome outcome = history.storeStep(current, undo, picture);
        undo -= outcome.letGo;
        letGo += outcome.letGo;
        firstLetGos += outcome.firstLetGo ? 1 : 0;
        if (outcome.stored) {
            current = nextSlot(current);
            undo = std::min(undo + 1, 1000);
        }
        return outcome.stored;
    }
};

constexpr size_t kPictureBytes = 128 * 128 * 3;  // four tiles

}  // namespace

TEST(HistoryBudget, LetsTheOldestStepsGoAndKeepsTheNewestExact) {
    std::vector<QImage> pictures;
    for (int colour = 0; colour < 8; ++colour) {
        pictures.push_back(flatPicture(128, 128, colour * 30));
    }
    Steps steps(pictures[0]);
    steps.history.setBudget(kPictureBytes * 7 / 2);  // room for three whole pictures
    for (int k = 1; k <= 7; ++k) {
        ASSERT_TRUE(steps.step(pictures[k]));
        EXPECT_LE(steps.history.bytes(), steps.history.budget());
    }
    EXPECT_EQ(steps.current, 8);  // numbered as if nothing was let go
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.letGo, 5);
    EXPECT_EQ(steps.firstLetGos, 1);
    for (int slot = 1; slot <= 5; ++slot) {
        EXPECT_TRUE(steps.history.picture(slot).isNull()) << slot;
    }
    for (int slot = 6; slot <= 8; ++slot) {
        EXPECT_EQ(steps.history.picture(slot), pictures[slot - 1]) << slot;
    }

    // A step that changes one tile costs one tile: it fits without letting anything go.
    QImage touched = pictures[7].copy();
    touched.scanLine(127)[3 * 127] ^= 0xFF;
    ASSERT_TRUE(steps.step(touched));
    EXPECT_EQ(steps.undo, 3);
    EXPECT_EQ(steps.history.bytes(), 3 * kPictureBytes + kPictureBytes / 4);
    EXPECT_EQ(steps.history.picture(9), touched);
    EXPECT_EQ(steps.history.picture(8), pictures[7]);
}

TEST(HistoryBudget, DropsRedoStepsBeforeAnyUndoStepAndRefusesWhatCannotFit) {
    Steps steps(flatPicture(128, 128, 1));
    steps.history.setBudget(kPictureBytes * 7 / 2);
    ASSERT_TRUE(steps.step(flatPicture(128, 128, 2)));
    ASSERT_TRUE(steps.step(flatPicture(128, 128, 3)));
    // One undo: slot 3 becomes a redo step. The next step drops it and then fits
    // without letting the step in slot 1 go.
    steps.current = 2;
    steps.undo = 1;
    const QImage next = flatPicture(128, 128, 4);
    ASSERT_TRUE(steps.step(next));
    EXPECT_EQ(steps.letGo, 0);
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.history.bytes(), 3 * kPictureBytes);
    EXPECT_EQ(steps.history.picture(3), next);

    // With room for less than the current picture and a whole new one, the step is
    // refused and every earlier step stays.
    steps.history.setBudget(kPictureBytes * 3 / 2);
    EXPECT_FALSE(steps.step(flatPicture(128, 128, 5)));
    EXPECT_EQ(steps.letGo, 0);
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.history.picture(1), flatPicture(128, 128, 1));
    EXPECT_EQ(steps.history.picture(2), flatPicture(128, 128, 2));
    EXPECT_EQ(steps.history.picture(3), next);
}

TEST(HistoryBudget, LetsGoAlongTheRingOnceTheNumberingWraps) {
    Steps steps(flatPicture(1, 1, 0));
    steps.history.setBudget(500 * 3);  // 500 one-pixel steps
    for (int k = 1; k <= 1200; ++k) {
        ASSERT_TRUE(steps.step(flatPicture(1, 1, k)));
    }
    EXPECT_EQ(steps.current, 1200 % 1001 + 1);
    EXPECT_EQ(steps.undo, 499);
    EXPECT_EQ(steps.history.bytes(), 500u * 3u);
    int slot = steps.current;
    for (int k = 1200; k > 1200 - 500; --k) {
        EXPECT_EQ(steps.history.picture(slot), flatPicture(1, 1, k)) << k;
        slot = previousSlot(slot);
    }
    EXPECT_TRUE(steps.history.picture(slot).isNull());
}
