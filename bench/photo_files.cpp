#include "bench/photo_files.h"

#include <lcms2.h>
#include <libheif/heif.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "formats/jpeg_codec.h"
#include "formats/webp_writer.h"

namespace bench {
namespace {

QImage largePhotograph() {
    QImage picture(kLargePhotoWidth, kLargePhotoHeight, QImage::Format_BGR888);
    uint32_t grain = 12345;
    for (int y = 0; y < picture.height(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            grain = grain * 1664525u + 1013904223u;
            const int noise = static_cast<int>(grain >> 29) - 4;
            const double u = x / 700.0;
            const double v = y / 500.0;
            row[3 * x] = static_cast<uchar>(
                std::clamp(static_cast<int>(110 + 90 * std::sin(u + 0.3 * v)) + noise, 0, 255));
            row[3 * x + 1] = static_cast<uchar>(
                std::clamp(static_cast<int>(120 + 80 * std::cos(0.7 * u - v)) + noise, 0, 255));
            row[3 * x + 2] = static_cast<uchar>(std::clamp(
                static_cast<int>(130 + 100 * std::sin(1.3 * v + 0.2 * u * u)) + noise, 0, 255));
        }
    }
    return picture;
}

QByteArray savedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Adobe RGB (1998): D65 white, its primaries and a gamma of 563/256.
QByteArray adobeRgbProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return savedProfile(profile);
}

QByteArray segment(int marker, const QByteArray& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray bytes;
    bytes.append(char(0xff)).append(char(marker)).append(char(length >> 8)).append(char(length));
    return bytes + payload;
}

// EXIF with orientation 6 (little-endian TIFF structure, one entry).
QByteArray exifTurnedClockwise() {
    const char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                         0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
    return QByteArray("Exif\0\0", 6) + QByteArray(tiff, sizeof tiff);
}

QByteArray heicOf(const QImage& picture) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    if (encoder == nullptr) {
        heif_context_free(context);
        throw std::runtime_error("libheif has no HEVC encoder");
    }
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image* image = nullptr;
    heif_image_create(picture.width(), picture.height(), heif_colorspace_RGB,
                      heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, picture.width(), picture.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* in = picture.constScanLine(y);
        uint8_t* out = plane + static_cast<qsizetype>(y) * stride;
        for (int x = 0; x < picture.width(); ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    heif_context_encode_image(context, image, encoder, nullptr, nullptr);
    QByteArray bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* target) {
                           static_cast<QByteArray*>(target)->append(static_cast<const char*>(data),
                                                                    static_cast<qsizetype>(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

void save(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

}  // namespace

const PhotoFiles& photoFiles() {
    static QTemporaryDir folder;
    static const PhotoFiles files = [] {
        const QImage picture = largePhotograph();
        PhotoFiles made{folder.filePath("plain.jpg"), folder.filePath("adobe-rgb-turned.jpg"),
                        folder.filePath("photo.heic"), folder.filePath("photo.webp"),
                        folder.filePath("sRGB.icc")};
        const QByteArray jpeg = formats::encodeJpeg(picture);
        save(made.plainJpeg, jpeg);
        // ICC chunk 1 of 1, after the start-of-image marker with the EXIF segment.
        const QByteArray icc = QByteArray("ICC_PROFILE\0\1\1", 14) + adobeRgbProfile();
        save(made.adobeJpeg, jpeg.left(2) + segment(0xe1, exifTurnedClockwise()) +
                                 segment(0xe2, icc) + jpeg.mid(2));
        save(made.heic, heicOf(picture));
        save(made.lossyWebp, formats::encodeWebp(picture, formats::kWebpLossyQuality));
        save(made.srgbProfile, savedProfile(cmsCreate_sRGBProfile()));
        return made;
    }();
    return files;
}

}  // namespace bench
