#include <gtest/gtest.h>

#include <vector>

#include "player/playback.h"

namespace {

using player::Playback;
using player::PlayMode;

// The frames shown after each of `ticks` ticks; 0 once the timer has stopped.
std::vector<int> shown(Playback& playback, int ticks) {
    std::vector<int> frames;
    for (int i = 0; i < ticks; ++i) {
        playback.tick();
        frames.push_back(playback.running() ? playback.current() : 0);
    }
    return frames;
}

TEST(Playback, StartsPlayingFromTheFirstFrameAndStopsAtTheLast) {
    Playback playback(3);
    EXPECT_EQ(playback.current(), 1);
    EXPECT_EQ(playback.mode(), PlayMode::Play);
    EXPECT_TRUE(playback.running());
    EXPECT_EQ(shown(playback, 4), (std::vector<int>{2, 3, 0, 0}));
    EXPECT_EQ(playback.current(), 3);  // the last frame stays on screen

    playback.play();
    EXPECT_EQ(playback.current(), 1);
    EXPECT_EQ(shown(playback, 3), (std::vector<int>{2, 3, 0}));

    Playback single(1);
    EXPECT_EQ(shown(single, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(single.current(), 1);
}

TEST(Playback, ReverseRunsFromTheLastFrameToTheFirst) {
    Playback playback(4);
    shown(playback, 1);
    playback.reverse();
    EXPECT_EQ(playback.current(), 4);
    EXPECT_EQ(playback.mode(), PlayMode::Reverse);
    EXPECT_EQ(shown(playback, 5), (std::vector<int>{3, 2, 1, 0, 0}));
    EXPECT_EQ(playback.current(), 1);
}

TEST(Playback, CycleShowsEachEndFrameTwiceAndNeverStops) {
    Playback three(3);
    three.cycle();
    EXPECT_EQ(three.current(), 1);
    EXPECT_EQ(shown(three, 12), (std::vector<int>{2, 3, 3, 2, 1, 1, 2, 3, 3, 2, 1, 1}));
    EXPECT_EQ(three.mode(), PlayMode::CycleForward);

    Playback two(2);
    two.cycle();
    EXPECT_EQ(shown(two, 8), (std::vector<int>{2, 2, 1, 1, 2, 2, 1, 1}));

    Playback one(1);
    one.cycle();
    EXPECT_EQ(shown(one, 3), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(one.mode(), PlayMode::CycleBackward);
    one.tick();
    EXPECT_EQ(one.mode(), PlayMode::CycleForward);
}

TEST(Playback, ButtonsRestartAStoppedOrCyclingTimer) {
    Playback playback(3);
    playback.cycle();
    shown(playback, 3);
    EXPECT_EQ(playback.mode(), PlayMode::CycleBackward);
    playback.play();
    EXPECT_EQ(shown(playback, 3), (std::vector<int>{2, 3, 0}));
    playback.cycle();  // from a stopped timer
    EXPECT_TRUE(playback.running());
    EXPECT_EQ(playback.mode(), PlayMode::CycleForward);
    EXPECT_EQ(shown(playback, 2), (std::vector<int>{2, 3}));
}

}  // namespace
