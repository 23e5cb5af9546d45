// The face warp on a 6000 x 4000 photograph whose one face fills about a third of its height,
// against BM_PictureCopy (a 4000 x 3000 copy, effects_bench.cpp): the whole change at full
// resolution should cost at most three copies, a live preview of one slider half a copy.
#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <vector>
#include "bench/bench_pictures.h"

#include "face/face_adjustments.h"
#include "face/face_change.h"
#include "face/face_shape.h"
#include "face/face_warp.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A busy photograph stand-in: every channel varies from pixel to pixel.
QImage photograph() {
    return bench::photograph(kWidth, kHeight, 4242);
}

// The average face with a few features of its own (so that the caricature has something to
// exaggerate), placed so that brows to chin span a third of the picture's height.
face::FoundFace photographedFace() {
    face::Landmarks shape = face::averageFace();
    const double unit = shape[8].y() - shape[19].y();
    for (int i = 31; i <= 35; ++i) {
        shape[static_cast<size_t>(i)].rx() += (i - 33) * 0.02 * unit;  // a broad nose
    }
    for (int i = 5; i <= 11; ++i) {
        shape[static_cast<size_t>(i)].ry() += 0.03 * unit;  // a long chin
    }
    for (int i = 48; i <= 67; ++i) {
        shape[static_cast<size_t>(i)].rx() *= 1.0 + 0.01 * (i % 2);  // an uneven mouth
    }
    const double scale = kHeight / 3.0 / unit;
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
    for (QPointF& p : shape) {
        p = QPointF(kWidth / 2.0 + scale * (p.x() - 0.5), kHeight / 2.0 + scale * (p.y() - 0.6));
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return {QRectF(QPointF(left, top), QPointF(right, bottom)), shape};
}

// The caricature at 60 %, applied at full resolution: targets, the limit against folding, the
// warp and its one resample.
void BM_FaceWarp(benchmark::State& state) {
    const QImage picture = photograph();
    const std::vector<face::FoundFace> faces{photographedFace()};
    face::FaceSettings settings;
    settings[face::Adjustment::Caricature] = 60;
    for (auto _ : state) {
        const face::FaceChange change = face::changeFaces(picture, faces, settings);
        benchmark::DoNotOptimize(change.picture.constBits());
    }
}
BENCHMARK(BM_FaceWarp)->Unit(benchmark::kMillisecond)->UseRealTime();

// One slider step while the caricature is on, shown in a 1000 x 750 view: the whole picture
// fitted into it (argument 0) or the face at 100 % (argument 1).
void BM_FacePreview(benchmark::State& state) {
    const QImage picture = photograph();
    const std::vector<face::FoundFace> faces{photographedFace()};
    const bool actualSize = state.range(0) == 1;
    const double zoom = actualSize ? 100 : 100.0 * std::min(1000.0 / kWidth, 750.0 / kHeight);
    const QPointF centre = faces[0].box.center();
    const QRect view = actualSize ? QRect(static_cast<int>(centre.x()) - 500,
                                          static_cast<int>(centre.y()) - 375, 1000, 750)
                                  : QRect(0, 0, 1000, 750);
    state.SetLabel(actualSize ? "face at 100 %" : "whole picture");
    face::FaceSettings settings;
    settings[face::Adjustment::Caricature] = 60;
    int smile = 0;
    for (auto _ : state) {
        settings[face::Adjustment::Smile] = smile;
        smile = (smile + 7) % 100;
        const face::FaceWarp warp = face::faceWarp(picture.size(), faces, settings);
        const QImage shown = warp.preview(picture, view, zoom);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_FacePreview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
