// The effects that rework the whole picture, against BM_PictureCopy: the wave and each step
// of the pencil sketch should cost at most two picture copies.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_pictures.h"
#include "effects/pencil_sketch.h"
#include "effects/progress.h"
#include "effects/wave.h"

namespace {

void BM_Wave(benchmark::State& state) {
    QImage picture = bench::photograph();
    effects::NoProgress progress;
    for (auto _ : state) {
        effects::wave(picture, 2, 6, 2, progress);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_Wave)->Unit(benchmark::kMillisecond);

// Step 0 is the edge image the Sketch page keeps, 1 the black-and-white rendering of it and
// 2 the grey rendering.
void BM_Sketch(benchmark::State& state) {
    const QImage picture = bench::photograph();
    const QImage sketch = effects::edgeImage(picture);
    const int step = static_cast<int>(state.range(0));
    state.SetLabel(step == 0 ? "edges" : step == 1 ? "black and white" : "grey");
    for (auto _ : state) {
        QImage result;
        if (step == 0) {
            result = effects::edgeImage(picture);
        } else if (step == 1) {
            result = effects::thresholdSketch(sketch, 150);
        } else {
            result = effects::contrastSketch(sketch, 45);
        }
        benchmark::DoNotOptimize(result.constBits());
    }
}
BENCHMARK(BM_Sketch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
