#include "formats/photo/row_bands.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace formats {

void forEachRowBand(int height, const std::function<void(int first, int last)>& work) {
    forEachBand(height, kRowsPerBand, work);
}

void forEachBand(int count, int bandSize, const std::function<void(int first, int last)>& work) {
    bandSize = std::max(bandSize, 1);
    const int bands = (count + bandSize - 1) / bandSize;
    if (bands <= 0) {
        return;
    }
    const int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, bands);
    std::atomic<int> next{0};
    auto run = [&] {
        for (int band = next++; band < bands; band = next++) {
            work(band * bandSize, std::min(count, (band + 1) * bandSize));
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one does the rest
        }
    }
    run();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

}  // namespace formats
