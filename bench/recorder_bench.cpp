// Costs of recording, against BM_PictureCopy (effects_bench.cpp): the frame file the recorder
// writes for each step, and a whole recorded step as the main window's backup() takes it (a
// bulge of radius 100, the history store, then the frame file). A recorded step should stay
// within six picture copies.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include "app/edit_history.h"
#include "bench/bench_pictures.h"
#include "effects/progress.h"
#include "effects/spherical.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"

namespace {

// The recorder's frame file: JPEG-encoded and written atomically, named by its history slot.
void writeFrameFile(const QTemporaryDir& folder, const QImage& picture, int frame) {
    const QString path = folder.path() + "/picture" + QString::number(frame) + ".jpg";
    formats::writeFileAtomically(path, formats::encodeJpeg(picture));
}

void BM_FrameFile(benchmark::State& state) {
    const QImage picture = bench::photograph();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    for (auto _ : state) {
        writeFrameFile(folder, picture, 1);
    }
}
BENCHMARK(BM_FrameFile)->Unit(benchmark::kMillisecond);

void BM_RecordedStep(benchmark::State& state) {
    QImage picture = bench::photograph();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    // The history as RestartHistory() leaves it while recording.
    EditHistory history;
    history.create();
    int current = 1;
    history.store(current, picture, 0);
    writeFrameFile(folder, picture, current);
    effects::NoProgress progress;
    for (auto _ : state) {
        effects::bulge(picture, bench::kPhotoWidth / 2, bench::kPhotoHeight / 2, 100, 30, progress);
        const int slot = nextSlot(current);
        history.store(slot, picture, current);
        current = slot;
        writeFrameFile(folder, picture, current);
    }
}
BENCHMARK(BM_RecordedStep)->Unit(benchmark::kMillisecond);

}  // namespace
