// Resizing the large photograph, against BM_PictureCopy (effects_bench.cpp): shrinking to 80 %
// and growing to 125 % should each cost at most four picture copies.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_pictures.h"
#include "effects/picture_resize.h"

namespace {

// The argument is the target size in percent of the photograph's.
void BM_ImageSize(benchmark::State& state) {
    const QImage picture = bench::photograph();
    const int percent = static_cast<int>(state.range(0));
    const int width = bench::kPhotoWidth * percent / 100;
    const int height = bench::kPhotoHeight * percent / 100;
    state.SetLabel(std::to_string(width) + " x " + std::to_string(height));
    for (auto _ : state) {
        const QImage result = effects::resizePicture(picture, width, height);
        benchmark::DoNotOptimize(result.constBits());
    }
}
BENCHMARK(BM_ImageSize)->Arg(80)->Arg(125)->Unit(benchmark::kMillisecond);

}  // namespace
