// The history's memory budget: the room under the tightest limit on this process's memory,
// less a headroom for the working copies an effect makes of the picture.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/memory_limits.h"

// What an effect on a picture of `pictureBytes` may need beyond what the program held when
// the budget was worked out: five copies of the picture and 64 MiB. A wave over a 6000 x 4000
// photograph in a 1.5 GiB group rises up to 3.3 copies above what was held before it (its
// result, the picture it reads, the display), and up to two more copies come and go between
// steps (the picture being replaced, the one Undo puts together); the 64 MiB cover the
// libraries' own growth.
size_t effectHeadroom(size_t pictureBytes);

// The most the history may hold under `limits`, when it holds `historyBytes` now and the
// picture takes `pictureBytes`: under each limit, the limit less what counts against it
// besides the history, less the headroom; the smallest of these, at least 1 byte.
size_t historyBudget(const std::vector<platform::MemoryLimit>& limits, size_t historyBytes,
                     size_t pictureBytes);

// The same for this process as it stands, its limits read afresh.
size_t currentHistoryBudget(size_t historyBytes, size_t pictureBytes);
