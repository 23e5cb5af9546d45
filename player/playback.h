#pragma once
// The playing modes the player's timer steps through. Frames are numbered 1..N.
//   play:    1, 2, ..., N, then the timer stops.
//   reverse: N, N-1, ..., 1, then the timer stops.
//   cycle:   1, 2, ..., N, N, N-1, ..., 1, 1, 2, ... for ever: at each end the direction turns
//            and the end frame is shown for one more tick.

namespace player {

enum class PlayMode { Play, Reverse, CycleForward, CycleBackward };

class Playback {
public:
    // frameCount is at least 1. Starts as after Play.
    explicit Playback(int frameCount) : count_(frameCount < 1 ? 1 : frameCount) {}

    void play() { start(1, PlayMode::Play); }
    void reverse() { start(count_, PlayMode::Reverse); }
    void cycle() { start(1, PlayMode::CycleForward); }

    // One timer tick: moves to the next frame, or turns, or stops the timer.
    void tick() {
        if (!running_) {
            return;
        }
        switch (mode_) {
            case PlayMode::Play:
                if (current_ >= count_) {
                    running_ = false;
                } else {
                    ++current_;
                }
                break;
            case PlayMode::Reverse:
                if (current_ <= 1) {
                    running_ = false;
                } else {
                    --current_;
                }
                break;
            case PlayMode::CycleForward:
                if (current_ >= count_) {
                    mode_ = PlayMode::CycleBackward;  // stays on the end frame this tick
                } else {
                    ++current_;
                }
                break;
            case PlayMode::CycleBackward:
                if (current_ <= 1) {
                    mode_ = PlayMode::CycleForward;
                } else {
                    --current_;
                }
                break;
        }
    }

    int current() const { return current_; }
    int frameCount() const { return count_; }
    PlayMode mode() const { return mode_; }
    bool running() const { return running_; }

private:
    void start(int frame, PlayMode mode) {
        current_ = frame;
        mode_ = mode;
        running_ = true;
    }

    int count_;
    int current_ = 1;
    PlayMode mode_ = PlayMode::Play;
    bool running_ = true;
};

}  // namespace player
