// Photographs as phones and cameras write them, made once per run for the opening benchmarks.
#pragma once

#include <QString>

namespace bench {

constexpr int kLargePhotoWidth = 6000;
constexpr int kLargePhotoHeight = 4000;

// The files of one 6000 x 4000 photograph stand-in (smooth shading with fine grain, as a
// camera's picture compresses), written into a temporary folder that lives for the run.
struct PhotoFiles {
    QString plainJpeg;    // baseline JPEG, no profile, upright
    QString adobeJpeg;    // the same with an Adobe RGB profile and EXIF orientation 6
    QString heic;         // HEVC at quality 90 through libheif
    QString lossyWebp;    // lossy WebP at quality 90
    QString srgbProfile;  // an sRGB ICC profile for the other program's command line
};
const PhotoFiles& photoFiles();

}  // namespace bench
