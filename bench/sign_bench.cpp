// Cost of a straight sign line across a large photograph, against one full copy of it
// (BM_PictureCopy in effects_bench.cpp): the diagonal from corner to corner with the dashed
// 1-pixel pen and with round pens 3 and 100 pixels wide.
#include <benchmark/benchmark.h>

#include <QImage>

#include "bench/bench_pictures.h"
#include "effects/sign_drawing.h"

namespace {

void BM_SignLine(benchmark::State& state) {
    QImage picture = bench::photograph();
    const effects::SignPen pen{0x2040f0, static_cast<int>(state.range(0))};
    for (auto _ : state) {
        const QRect written = effects::drawSignLine(
            picture, {0, 0}, {bench::kPhotoWidth - 1, bench::kPhotoHeight - 1}, pen);
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_SignLine)->Arg(1)->Arg(3)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
