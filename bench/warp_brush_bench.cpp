// The warp brushes on a 6000 x 4000 photograph, against BM_PictureCopy: one push dab of radius
// 300 with the touched part of a 1600 x 1000 view at 25 % rendered again should cost at most a
// quarter of a copy (well within a frame at 60 Hz), committing a stroke over 1200 x 1200
// pixels at most one copy. The field's memory for the picture is reported as a counter.
#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdint>
#include "bench/bench_pictures.h"

#include "warp/displacement_field.h"
#include "warp/warp_brush.h"
#include "warp/warp_session.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

QImage photograph() {
    return bench::photograph(kWidth, kHeight, 99);
}

// A dab along a drag, the field updated and the part of the view it touched rendered as the
// picture window repaints it (view pixels at 25 % of picture pixels).
void BM_WarpDab(benchmark::State& state) {
    warp::WarpSession session;
    session.follow(photograph());
    constexpr double kZoom = 25;
    const QRect view(1000, 500, 1600, 1000);  // in view pixels
    QPointF at(3000, 2000);
    double direction = 1;
    for (auto _ : state) {
        const QPointF next = at + QPointF(30 * direction, 0);
        if (next.x() > 3600 || next.x() < 2400) {
            direction = -direction;
        }
        const QRect touched =
            warp::applyDab(session.field(), {warp::Brush::Push, next, at, 300, 50, 50});
        at = next;
        const QRect shown = QRectF(touched.x() * kZoom / 100, touched.y() * kZoom / 100,
                                   touched.width() * kZoom / 100, touched.height() * kZoom / 100)
                                .toAlignedRect()
                                .intersected(view);
        const QImage part = session.view(shown, kZoom, true);
        benchmark::DoNotOptimize(part.constBits());
    }
    state.counters["field_bytes"] = static_cast<double>(session.field().memoryBytes());
    state.counters["picture_bytes"] = static_cast<double>(session.base().sizeInBytes());
}
BENCHMARK(BM_WarpDab)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stroke's region of 1200 x 1200 pixels resampled at full size from the base into the
// current picture, as the release does.
void BM_WarpCommit(benchmark::State& state) {
    warp::WarpSession session;
    const QImage base = photograph();
    session.follow(base);
    QPointF at(2500, 2000);
    for (int k = 0; k < 40; ++k) {
        const QPointF next = at + QPointF(25, 0);
        warp::applyDab(session.field(), {warp::Brush::Push, next, at, 300, 60, 50});
        at = next;
    }
    QImage current = base.copy();  // detached from the base, as after the first stroke
    const QRect region(2000, 1400, 1200, 1200);
    for (auto _ : state) {
        session.render(current, region);
        benchmark::DoNotOptimize(current.constBits());
    }
}
BENCHMARK(BM_WarpCommit)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
