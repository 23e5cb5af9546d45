// Costs of the disc effects against the cost of one full copy of a large photograph: a
// step of the bulge or pinch must stay within a few picture copies.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/spherical.h"

namespace {

constexpr int kWidth = bench::kPhotoWidth;
constexpr int kHeight = bench::kPhotoHeight;

void BM_PictureCopy(benchmark::State& state) {
    const QImage picture = bench::photograph();
    for (auto _ : state) {
        QImage copy = picture.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_PictureCopy)->Unit(benchmark::kMillisecond);

template <void (*Effect)(QImage&, int, int, int, int, effects::Progress&)>
void discStep(benchmark::State& state) {
    QImage picture = bench::photograph();
    const int radius = static_cast<int>(state.range(0));
    const int strength = radius * 2 / 3;  // 333 for radius 500, the palette's largest "Cur."
    effects::NoProgress progress;
    for (auto _ : state) {
        Effect(picture, kWidth / 2, kHeight / 2, radius, strength, progress);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

void BM_Bulge(benchmark::State& state) {
    discStep<effects::bulge>(state);
}
void BM_Pinch(benchmark::State& state) {
    discStep<effects::pinch>(state);
}
BENCHMARK(BM_Bulge)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pinch)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
