// Cost of one smudge stroke with the largest radius at 100 % zoom against one full copy of a
// large photograph (BM_PictureCopy in effects_bench.cpp): radius 500 with a drag of at least
// half the radius (L = 250, R = 625, about 1.2 million samples) must stay within three copies.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/smudge.h"

namespace {

constexpr int kX = bench::kPhotoWidth / 2;
constexpr int kY = bench::kPhotoHeight / 2;

// A stroke from the picture's middle by (dx, dy) times the radius, long enough that only
// half the radius counts.
void stroke(benchmark::State& state, int dx, int dy) {
    QImage picture = bench::photograph();
    const int radius = static_cast<int>(state.range(0));
    effects::NoProgress progress;
    for (auto _ : state) {
        effects::smudge(picture, kX, kY, kX + dx * radius, kY + dy * radius, radius, progress);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

// Diagonal (down-right), the costlier path.
void BM_Smudge(benchmark::State& state) {
    stroke(state, 1, 1);
}
// Along the rows (right).
void BM_SmudgeRight(benchmark::State& state) {
    stroke(state, 1, 0);
}
BENCHMARK(BM_Smudge)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmudgeRight)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
