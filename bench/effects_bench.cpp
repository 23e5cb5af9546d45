// Costs of the disc effects against the cost of one full copy of a large photograph: a
// step of the bulge or pinch must stay within a few picture copies.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>

#include "effects/progress.h"
#include "effects/spherical.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A busy photograph stand-in: every channel varies from pixel to pixel, so no blend is
// between equal neighbours.
QImage photograph() {
    QImage picture(kWidth, kHeight, QImage::Format_BGR888);
    uint32_t state = 12345;
    for (int row = 0; row < kHeight; ++row) {
        uchar* line = picture.scanLine(row);
        for (int i = 0; i < 3 * kWidth; ++i) {
            state = state * 1664525u + 1013904223u;
            line[i] = static_cast<uchar>((i / 3 + row) / 4 + (state >> 28));
        }
    }
    return picture;
}

void BM_PictureCopy(benchmark::State& state) {
    const QImage picture = photograph();
    for (auto _ : state) {
        QImage copy = picture.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_PictureCopy)->Unit(benchmark::kMillisecond);

template <void (*Effect)(QImage&, int, int, int, int, effects::Progress&)>
void discStep(benchmark::State& state) {
    QImage picture = photograph();
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
