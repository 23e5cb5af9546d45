// Costs of the twirl, the one-directional stretches and squeezes, and all disc effects at a
// small radius, against one full copy of a large photograph (BM_PictureCopy in
// effects_bench.cpp): a step at radius 500 must stay within three copies, one at radius 100
// within one.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>

#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/spherical.h"
#include "effects/stretch.h"
#include "effects/twirl.h"

namespace {

constexpr int kWidth = bench::kPhotoWidth;
constexpr int kHeight = bench::kPhotoHeight;

// One step at the picture's centre with the strength the palette gives a radius at 100 %
// zoom: Rnd(R / 10), the "Twist" page's position after a radius change, for the twirl; the
// largest "Cur.", R·2 / 3 (333 for 500), for the "Distort" page.
template <class Step>
void discStep(benchmark::State& state, Step step) {
    QImage picture = bench::photograph();
    const int radius = static_cast<int>(state.range(0));
    effects::NoProgress progress;
    for (auto _ : state) {
        step(picture, radius, progress);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

int twistStrength(int radius) {
    return (radius + 5) / 10;
}
int distortStrength(int radius) {
    return radius * 2 / 3;
}

void BM_Twirl(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::twirlClockwise(p, kWidth / 2, kHeight / 2, r, twistStrength(r), progress);
    });
}
void BM_TwirlAnticlockwise(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::twirlAnticlockwise(p, kWidth / 2, kHeight / 2, r, twistStrength(r), progress);
    });
}
void BM_VStretch(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::stretchVertical(p, kWidth / 2, kHeight / 2, r, distortStrength(r), progress);
    });
}
void BM_HStretch(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::stretchHorizontal(p, kWidth / 2, kHeight / 2, r, distortStrength(r), progress);
    });
}
void BM_VSqueeze(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::squeezeVertical(p, kWidth / 2, kHeight / 2, r, distortStrength(r), progress);
    });
}
void BM_HSqueeze(benchmark::State& state) {
    discStep(state, [](QImage& p, int r, effects::Progress& progress) {
        effects::squeezeHorizontal(p, kWidth / 2, kHeight / 2, r, distortStrength(r), progress);
    });
}
BENCHMARK(BM_Twirl)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwirlAnticlockwise)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VStretch)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HStretch)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VSqueeze)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HSqueeze)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
