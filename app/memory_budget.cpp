#include "app/memory_budget.h"

#include <algorithm>
#include <limits>

size_t effectHeadroom(size_t pictureBytes) {
    return 5 * pictureBytes + (size_t{64} << 20);
}

size_t historyBudget(const std::vector<platform::MemoryLimit>& limits, size_t historyBytes,
                     size_t pictureBytes) {
    const uint64_t headroom = effectHeadroom(pictureBytes);
    uint64_t budget = std::numeric_limits<uint64_t>::max();
    for (const platform::MemoryLimit& limit : limits) {
        // The history's bytes count against every limit; the rest is held outside it.
        const uint64_t heldOutside = limit.used - std::min<uint64_t>(limit.used, historyBytes);
        const uint64_t taken = heldOutside + headroom;
        budget = std::min(budget, limit.limit > taken ? limit.limit - taken : 0);
    }
    // 0 would mean no budget at all; with no room every new step is refused instead.
    budget = std::max<uint64_t>(budget, 1);
    return static_cast<size_t>(std::min<uint64_t>(budget, std::numeric_limits<size_t>::max()));
}

size_t currentHistoryBudget(size_t historyBytes, size_t pictureBytes) {
    return historyBudget(platform::memoryLimits(), historyBytes, pictureBytes);
}
