// Memory of the edit history: 1000 bulge steps of radius 100 at scattered
// centres of a 4000 x 3000 photograph, each recorded as the main window's
// backup records it (the next slot, sharing with the slot before).
#include <benchmark/benchmark.h>

#include "app/edit_history.h"
#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/spherical.h"

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

}  // namespace
