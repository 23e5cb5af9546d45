// The recorder's animated GIF, against BM_PictureCopy (effects_bench.cpp): one frame at
// photograph size (its colour table, its pixels mapped to it and LZW-coded), and a recording
// of 30 frames of 605 x 469, which should take well under a second.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QImage>
#include <vector>

#include "bench/bench_pictures.h"
#include "formats/gif_animation_writer.h"

namespace {

void BM_GifAnimationFrame(benchmark::State& state) {
    const std::vector<QImage> frames{bench::photograph()};
    for (auto _ : state) {
        const QByteArray gif = formats::encodeGifAnimation(frames, 10);
        benchmark::DoNotOptimize(gif.constData());
    }
}
BENCHMARK(BM_GifAnimationFrame)->Unit(benchmark::kMillisecond);

void BM_GifAnimation30Frames(benchmark::State& state) {
    const QImage photo = bench::photograph();
    std::vector<QImage> frames;
    for (int frame = 0; frame < 30; ++frame) {
        frames.push_back(photo.copy(97 * frame, 71 * frame, 605, 469));
    }
    for (auto _ : state) {
        const QByteArray gif = formats::encodeGifAnimation(frames, 10);
        benchmark::DoNotOptimize(gif.constData());
    }
}
BENCHMARK(BM_GifAnimation30Frames)->Unit(benchmark::kMillisecond);

}  // namespace
