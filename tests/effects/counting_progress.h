// A Progress for the tests: counts the steps and checks they all come from the thread that
// ran the effect.
#pragma once

#include <cstdint>
#include <thread>

#include "effects/progress.h"

namespace test_progress {

class Counting final : public effects::Progress {
public:
    void advance() override {
        ++steps;
        if (std::this_thread::get_id() != caller) {
            ++foreignSteps;
        }
    }
    int64_t steps = 0;
    int64_t foreignSteps = 0;
    std::thread::id caller = std::this_thread::get_id();
};

}  // namespace test_progress
