// The face finder: loading its model once, and finding the face in a large photograph.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>

#include "face/face_finder.h"

namespace {

bool modelInstalled(benchmark::State& state) {
    if (QFile::exists(face::defaultModelPath()))
        return true;
    state.SkipWithError("the landmark model (libdlib-data) is not installed");
    return false;
}

// A 6000 x 4000 photograph with one face a third of its height: the part of the example
// around the face (the face is 109 pixels of its 327 rows) enlarged 12.2 times.
QImage largePortrait() {
    const QImage example(QStringLiteral(MUGWARP_EXAMPLE_PICTURE));
    return example.copy(30, 0, 490, 327)
        .scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_BGR888);
}

void BM_FaceModelLoad(benchmark::State& state) {
    if (!modelInstalled(state))
        return;
    for (auto _ : state) {
        std::unique_ptr<face::FaceFinder> finder = face::loadFaceFinder();
        benchmark::DoNotOptimize(finder.get());
    }
}
BENCHMARK(BM_FaceModelLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FindFaces(benchmark::State& state) {
    if (!modelInstalled(state))
        return;
    const QImage picture = largePortrait();
    const face::FaceFinder& finder = face::sharedFaceFinder();
    if (finder.findFaces(picture).size() != 1) {
        state.SkipWithError("the face in the large photograph was not found");
        return;
    }
    for (auto _ : state) {
        std::vector<face::FoundFace> faces = finder.findFaces(picture);
        benchmark::DoNotOptimize(faces.data());
    }
}
BENCHMARK(BM_FindFaces)->Unit(benchmark::kMillisecond);

}  // namespace
