// The recovery copy of a 24 MP photograph: the whole write on the worker (a 24-bit BMP,
// written under a temporary name, flushed and renamed), what the hand-over costs the
// user-interface thread, and the PNG encoding the copy does not use because it is several
// times slower.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>

#include "app/recovery_copy.h"
#include "bench/bench_pictures.h"
#include "bench/photo_files.h"
#include "formats/png_writer.h"

namespace {

using namespace std::chrono_literals;

QImage largePhotograph() {
    return bench::photograph(bench::kLargePhotoWidth, bench::kLargePhotoHeight, 4711);
}

void BM_RecoveryCopyWrite(benchmark::State& state) {
    const QImage picture = largePhotograph();
    QTemporaryDir folder;
    RecoveryCopyWriter writer(folder.path() + "/recovery/", {}, 0ms);
    for (auto _ : state) {
        writer.keep(picture, "photo");
        if (!writer.waitUntilWritten(120s)) {
            state.SkipWithError("the copy was not written");
            return;
        }
    }
}
BENCHMARK(BM_RecoveryCopyWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecoveryCopyHandOver(benchmark::State& state) {
    const QImage picture = largePhotograph();
    QTemporaryDir folder;
    // Never due: only the hand-over is measured.
    RecoveryCopyWriter writer(folder.path() + "/recovery/", {}, 1h);
    for (auto _ : state) {
        writer.keep(picture, "photo");
    }
}
BENCHMARK(BM_RecoveryCopyHandOver);

void BM_RecoveryCopyAsPng(benchmark::State& state) {
    const QImage picture = largePhotograph();
    for (auto _ : state) {
        benchmark::DoNotOptimize(formats::encodePng(picture));
    }
}
BENCHMARK(BM_RecoveryCopyAsPng)->Unit(benchmark::kMillisecond);

}  // namespace
