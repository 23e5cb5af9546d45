// Opening a 6000 x 4000 photograph: the plain JPEG decode, the same JPEG with an Adobe RGB
// profile and orientation 6 (the profile conversion and the turn must stay within 8 picture
// copies on top of the plain decode), HEIC and lossy WebP; and the same files opened by
// ImageMagick's `convert FILE -auto-orient -profile sRGB.icc out.bmp`, in the same run, when
// it is installed.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "bench/photo_files.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/picture_orientation.h"
#include "formats/picture_file.h"

namespace {

void openFile(benchmark::State& state, const QString& path) {
    for (auto _ : state) {
        const QImage picture = formats::readPictureFile(path);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

void BM_OpenPhoto_PlainJpeg(benchmark::State& state) {
    openFile(state, bench::photoFiles().plainJpeg);
}
BENCHMARK(BM_OpenPhoto_PlainJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenPhoto_AdobeRgbJpegOrientation6(benchmark::State& state) {
    openFile(state, bench::photoFiles().adobeJpeg);
}
BENCHMARK(BM_OpenPhoto_AdobeRgbJpegOrientation6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenPhoto_Heic(benchmark::State& state) {
    openFile(state, bench::photoFiles().heic);
}
BENCHMARK(BM_OpenPhoto_Heic)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenPhoto_LossyWebp(benchmark::State& state) {
    openFile(state, bench::photoFiles().lossyWebp);
}
BENCHMARK(BM_OpenPhoto_LossyWebp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts on top of the decode, alone: the Adobe RGB conversion and the quarter turn.
formats::Chromaticities adobeRgb() {
    formats::Chromaticities adobe;  // Adobe RGB (1998): sRGB's white, red and blue
    adobe.greenX = 0.21;
    adobe.greenY = 0.71;
    adobe.curve = formats::TransferCurve::Gamma;
    adobe.gamma = 563.0 / 256.0;
    return adobe;
}

void BM_OpenPhoto_ProfileOnly(benchmark::State& state) {
    const QImage decoded = formats::readPictureFile(bench::photoFiles().plainJpeg);
    for (auto _ : state) {
        state.PauseTiming();
        QImage picture = decoded.copy();
        state.ResumeTiming();
        formats::SrgbConversion(adobeRgb()).convertPicture(picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_OpenPhoto_ProfileOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenPhoto_TurnOnly(benchmark::State& state) {
    const QImage decoded = formats::readPictureFile(bench::photoFiles().plainJpeg);
    for (auto _ : state) {
        const QImage upright = formats::orientUpright(decoded, 6);
        benchmark::DoNotOptimize(upright.constBits());
    }
}
BENCHMARK(BM_OpenPhoto_TurnOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// A copy of the 6000 x 4000 picture, the unit of the ratios above.
void BM_OpenPhoto_LargePictureCopy(benchmark::State& state) {
    const QImage picture = formats::readPictureFile(bench::photoFiles().plainJpeg);
    for (auto _ : state) {
        QImage copy = picture.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_OpenPhoto_LargePictureCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The other program, timed as a whole command like a user waits for it.
void convertFile(benchmark::State& state, const QString& path) {
    if (std::system("command -v convert > /dev/null 2>&1") != 0) {
        state.SkipWithError("ImageMagick's convert is not installed");
        return;
    }
    QTemporaryDir folder;
    const std::string command = "convert '" + path.toStdString() + "' -auto-orient -profile '" +
                                bench::photoFiles().srgbProfile.toStdString() + "' '" +
                                folder.filePath("out.bmp").toStdString() + "' 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("convert failed");
            return;
        }
    }
}

void BM_ConvertCommand_AdobeRgbJpegOrientation6(benchmark::State& state) {
    convertFile(state, bench::photoFiles().adobeJpeg);
}
BENCHMARK(BM_ConvertCommand_AdobeRgbJpegOrientation6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ConvertCommand_Heic(benchmark::State& state) {
    convertFile(state, bench::photoFiles().heic);
}
BENCHMARK(BM_ConvertCommand_Heic)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ConvertCommand_LossyWebp(benchmark::State& state) {
    convertFile(state, bench::photoFiles().lossyWebp);
}
BENCHMARK(BM_ConvertCommand_LossyWebp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
