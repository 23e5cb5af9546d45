// Memory of the edit history: 1000 bulge steps of radius 100 at scattered
// centres of a 4000 x 3000 photograph, each recorded as the main window's
// backup records it (the next slot, sharing with the slot before); and 200
// waves, each a whole new picture, under a budget that lets the oldest go.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>

#include "app/edit_history.h"
#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/spherical.h"
#include "effects/wave.h"

namespace {

void BM_History1000Steps(benchmark::State& state) {
    const QImage photo = bench::photograph();
    for (auto _ : state) {
        EditHistory history;
        history.create();
        QImage picture = photo.copy();
        history.store(1, picture, 0);
        effects::NoProgress progress;
        uint32_t random = 99;
        int current = 1;
        for (int step = 0; step < 1000; ++step) {
            random = random * 1664525u + 1013904223u;
            const int x = static_cast<int>((random >> 8) % bench::kPhotoWidth);
            random = random * 1664525u + 1013904223u;
            const int y = static_cast<int>((random >> 8) % bench::kPhotoHeight);
            effects::bulge(picture, x, y, 100, 33, progress);
            const int next = nextSlot(current);
            history.store(next, picture, current);
            current = next;
        }
        state.counters["history_bytes"] = static_cast<double>(history.bytes());
        state.counters["full_copy_bytes"] = static_cast<double>(photo.sizeInBytes());
    }
}
BENCHMARK(BM_History1000Steps)->Unit(benchmark::kMillisecond)->Iterations(1);

double peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;  // kilobytes on Linux
}

// Without the budget the 201 slots would hold 201 full copies (7.2 GB); with
// 2 GiB about 59 of them stay and the process peaks near the budget. Run it on
// its own (--benchmark_filter) for a peak that is this benchmark's alone.
void BM_HistoryWholePictureSteps(benchmark::State& state) {
    constexpr size_t kBudget = size_t{2} << 30;
    constexpr int kSteps = 200;
    const QImage photo = bench::photograph();
    state.counters["peak_rss_before"] = peakResidentBytes();
    for (auto _ : state) {
        EditHistory history;
        history.setBudget(kBudget);
        history.create();
        QImage picture = photo.copy();
        history.store(1, picture, 0);
        effects::NoProgress progress;
        int current = 1;
        int undo = 0;
        size_t most = 0;
        for (int step = 0; step < kSteps; ++step) {
            effects::wave(picture, 2, 6, 2, progress);
            const EditHistory::StepOutcome outcome = history.storeStep(current, undo, picture);
            if (!outcome.stored) {
                state.SkipWithError("a step did not fit the budget");
                return;
            }
            undo = std::min(undo - outcome.letGo + 1, 1000);
            current = nextSlot(current);
            most = std::max(most, history.bytes());
        }
        state.counters["history_bytes_most"] = static_cast<double>(most);
        state.counters["steps_kept"] = undo + 1;
    }
    state.counters["peak_rss"] = peakResidentBytes();
    state.counters["full_copy_bytes"] = static_cast<double>(photo.sizeInBytes());
}
BENCHMARK(BM_HistoryWholePictureSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
