// The face finder on dlib: its HOG frontal face detector finds the boxes, its 68-point shape
// predictor (an ensemble of regression trees) fits the landmarks. The only file that sees dlib.
#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/serialize.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <future>
#include <limits>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "face/face_finder.h"

namespace face {
namespace {

// Detection runs on a copy whose long side is this many pixels: large enough for a face of a
// fifteenth of the picture to fill the detector's 80-pixel window, small enough to be quick.
constexpr int kDetectionLongSide = 1200;
// The landmark fit reads pixels near the face only; it works on the box grown by this fraction
// of its size on every side (the model's samples lie well inside), so a large picture is not
// converted whole.
constexpr double kFitMargin = 0.5;

// Rows of 8-bit grey or 24-bit colour pixels in memory seen as a dlib image, with no copy.
template <typename Pixel>
struct ImageView {
    const uchar* data;
    long columns, rows, stride;
};

template <typename Pixel>
long num_rows(const ImageView<Pixel>& view) {
    return view.rows;
}
template <typename Pixel>
long num_columns(const ImageView<Pixel>& view) {
    return view.columns;
}
template <typename Pixel>
long width_step(const ImageView<Pixel>& view) {
    return view.stride;
}
template <typename Pixel>
const void* image_data(const ImageView<Pixel>& view) {
    return view.data;
}

// The part `area` of an image in one of the formats above.
template <typename Pixel>
ImageView<Pixel> viewOf(const QImage& image, const QRect& area) {
    return {image.constScanLine(area.y()) + area.x() * long(sizeof(Pixel)), area.width(),
            area.height(), image.bytesPerLine()};
}

}  // namespace
}  // namespace face

template <typename Pixel>
struct dlib::image_traits<face::ImageView<Pixel>> {
    using pixel_type = Pixel;
};

namespace face {
namespace {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Where a format's colour bytes lie, for reading intensity straight from the rows.
struct ByteLayout {
    int bytesPerPixel = 0;  // 0: not a format read this way
    int skippedByte = -1;   // the alpha or padding byte of a 32-bit pixel
};

ByteLayout byteLayout(QImage::Format format) {
    switch (format) {
        case QImage::Format_Grayscale8:
            return {1, -1};
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
            return {3, -1};
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return {4, Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0};
        case QImage::Format_RGBX8888:
        case QImage::Format_RGBA8888:
        case QImage::Format_RGBA8888_Premultiplied:
            return {4, 3};
        default:
            return {};
    }
}

// Each pixel of `grey` the mean intensity of the block of whole source pixels it covers, in
// one pass over the source rows: much quicker than Qt's smooth scaling of a large 24-bit
// picture, which converts it to 32 bits first.
void shrinkToGrey(const QImage& source, ByteLayout layout, dlib::array2d<unsigned char>& grey) {
    const long sourceWidth = source.width(), sourceHeight = source.height();
    const long width = grey.nc(), height = grey.nr();
    const int bytes = layout.bytesPerPixel;
    const unsigned channels = bytes == 1 ? 1 : 3;
    std::vector<long> columnStart(size_t(width) + 1);
    for (long x = 0; x <= width; ++x)
        columnStart[size_t(x)] = x * sourceWidth / width;
    // Per source byte, its sum down the block's rows.
    std::vector<std::uint32_t> sums(size_t(sourceWidth * bytes));
    for (long y = 0; y < height; ++y) {
        const long rowStart = y * sourceHeight / height, rowEnd = (y + 1) * sourceHeight / height;
        std::fill(sums.begin(), sums.end(), 0u);
        for (long row = rowStart; row < rowEnd; ++row) {
            const uchar* in = source.constScanLine(int(row));
            for (size_t i = 0; i < sums.size(); ++i)
                sums[i] += in[i];
        }
        unsigned char* out = &grey[y][0];
        for (long x = 0; x < width; ++x) {
            std::uint64_t total = 0;
            for (long column = columnStart[size_t(x)]; column < columnStart[size_t(x) + 1];
                 ++column)
                for (int b = 0; b < bytes; ++b)
                    if (b != layout.skippedByte)
                        total += sums[size_t(column * bytes + b)];
            const std::uint64_t count =
                std::uint64_t(channels) * std::uint64_t(rowEnd - rowStart) *
                std::uint64_t(columnStart[size_t(x) + 1] - columnStart[size_t(x)]);
            out[x] = static_cast<unsigned char>((total + count / 2) / count);
        }
    }
}

// The picture's intensity, (r + g + b) / 3 as dlib takes it of colour, on a copy scaled by
// (sx, sy) to about kDetectionLongSide on its long side.
dlib::array2d<unsigned char> detectionImage(const QImage& picture, double& sx, double& sy) {
    const int longSide = std::max(picture.width(), picture.height());
    const double scale = double(kDetectionLongSide) / longSide;
    const int w = std::max(1, int(std::lround(picture.width() * scale)));
    const int h = std::max(1, int(std::lround(picture.height() * scale)));
    sx = double(w) / picture.width();
    sy = double(h) / picture.height();
    dlib::array2d<unsigned char> grey(h, w);
    if (scale <= 0.5) {
        // Blocks of two or more pixels each way: averaged straight from the picture's rows.
        const ByteLayout layout = byteLayout(picture.format());
        if (layout.bytesPerPixel != 0)
            shrinkToGrey(picture, layout, grey);
        else
            shrinkToGrey(picture.convertToFormat(QImage::Format_RGB888),
                         byteLayout(QImage::Format_RGB888), grey);
        return grey;
    }
    // Enlarged, or shrunk a little: the picture is small enough for Qt's smooth scaling.
    const QImage scaled = picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        const uchar* in = scaled.constScanLine(y);
        unsigned char* out = &grey[y][0];
        for (int x = 0; x < w; ++x, in += 3)
            out[x] = static_cast<unsigned char>((unsigned(in[0]) + in[1] + in[2]) / 3);
    }
    return grey;
}

// An integer as dlib writes it: a control byte (bit 7 the sign, the low four bits the
// number of bytes), then the bytes, the lowest first. A number larger than its type holds
// is refused here; dlib's own reader would overflow on it.
template <typename Integer>
Integer readDlibInteger(std::istream& in) {
    std::streambuf& bytes = *in.rdbuf();  // byte by byte without the stream's checks: fast
    const int control = bytes.sbumpc();
    const int size = control & 0x0f;
    if (control == EOF || (control & 0x70) != 0 || size == 0 ||
        size > static_cast<int>(sizeof(Integer)))
        throw dlib::serialization_error("a number is damaged or missing.");
    uint64_t magnitude = 0;
    for (int i = 0; i < size; ++i) {
        const int byte = bytes.sbumpc();
        if (byte == EOF)
            throw dlib::serialization_error("the file ends inside a number.");
        magnitude |= uint64_t(byte) << (8 * i);
    }
    const bool negative = (control & 0x80) != 0;
    if constexpr (std::is_signed_v<Integer>) {
        if (magnitude > uint64_t(std::numeric_limits<Integer>::max()))
            throw dlib::serialization_error("a number is out of range.");
        const auto value = static_cast<Integer>(magnitude);
        return negative ? static_cast<Integer>(-value) : value;
    } else {
        if (negative)
            throw dlib::serialization_error("a count is negative.");
        return static_cast<Integer>(magnitude);
    }
}

// Throws unless the stream starts as a landmark model (its format version, 1); rewinds it.
void checkModelStart(std::istream& in, const std::string& shown) {
    int version = 0;
    try {
        version = readDlibInteger<int>(in);
    } catch (const std::exception&) {
    }
    if (version != 1)
        throw std::runtime_error("The face landmark model " + shown +
                                 " is damaged: it does not start as a landmark model.");
    in.clear();
    in.seekg(0);
}

// The parts of a landmark model in the order its file holds them, read to be checked: the
// predictor trusts its trees' indices, so a file that reads well but whose indices point
// outside its tables would make it read outside them on every face.
struct ModelParts {
    dlib::matrix<float, 0, 1> initialShape;
    std::vector<std::vector<dlib::impl::regression_tree>> forests;
    std::vector<std::vector<unsigned long>> anchors;           // per cascade, per feature pixel
    std::vector<std::vector<dlib::vector<float, 2>>> offsets;  // the same
};

// Reads a model's parts as dlib writes them, but with its own number reader, and refuses a
// count larger than the bytes left (every item takes at least one). So a small damaged file
// cannot make it allocate gigabytes, and dlib, reading the same bytes afterwards, meets no
// number it would overflow on.
class ModelPartsReader {
public:
    explicit ModelPartsReader(std::istream& in) : in_(in) {
        in_.seekg(0, std::ios::end);
        end_ = in_.tellg();
        in_.seekg(0);
    }

    ModelParts read() {
        ModelParts parts;
        readDlibInteger<int>(in_);  // the version, checked before
        readColumn(parts.initialShape);
        readVector(parts.forests, [this](std::vector<dlib::impl::regression_tree>& forest) {
            readVector(forest, [this](dlib::impl::regression_tree& tree) {
                readVector(tree.splits, [this](dlib::impl::split_feature& split) {
                    split.idx1 = readDlibInteger<unsigned long>(in_);
                    split.idx2 = readDlibInteger<unsigned long>(in_);
                    skipFloat();
                });
                readVector(tree.leaf_values,
                           [this](dlib::matrix<float, 0, 1>& leaf) { readColumn(leaf); });
            });
        });
        readVector(parts.anchors, [this](std::vector<unsigned long>& anchors) {
            readVector(anchors, [this](unsigned long& anchor) {
                anchor = readDlibInteger<unsigned long>(in_);
            });
        });
        readVector(parts.offsets, [this](std::vector<dlib::vector<float, 2>>& offsets) {
            readVector(offsets, [this](dlib::vector<float, 2>&) {
                skipFloat();
                skipFloat();
            });
        });
        return parts;
    }

private:
    // A floating-point number in dlib's binary form: its mantissa and exponent as integers.
    // (The old text form is not read: the models are written in the binary one.)
    void skipFloat() {
        readDlibInteger<int64_t>(in_);
        readDlibInteger<int16_t>(in_);
    }

    void checkCount(unsigned long count) {
        const std::streamoff at = in_.tellg();
        if (at < 0 || count > static_cast<unsigned long>(end_ - at))
            throw dlib::serialization_error("a table is longer than the file.");
    }

    template <typename Item, typename ReadItem>
    void readVector(std::vector<Item>& items, ReadItem readItem) {
        const auto count = readDlibInteger<unsigned long>(in_);
        checkCount(count);
        items.resize(count);
        for (Item& item : items)
            readItem(item);
    }

    // A column of floats, stored as rows and columns, then the values. dlib's newer format
    // writes both sizes negated and it negates both when either is negative; so here too.
    void readColumn(dlib::matrix<float, 0, 1>& column) {
        long rows = readDlibInteger<long>(in_);
        long columns = readDlibInteger<long>(in_);
        if (rows < 0 || columns < 0) {
            rows = -rows;
            columns = -columns;
        }
        if (rows < 0 || columns != 1)
            throw dlib::serialization_error("a column of values has the wrong shape.");
        checkCount(static_cast<unsigned long>(rows));
        column.set_size(rows);
        for (long row = 0; row < rows; ++row)
            skipFloat();
    }

    std::istream& in_;
    std::streamoff end_ = 0;
};

// What is wrong with the model's parts, empty when nothing is.
std::string modelFault(const ModelParts& parts) {
    const long values = 2L * kLandmarkCount;
    if (parts.initialShape.size() != values)
        return "it has " + std::to_string(parts.initialShape.size() / 2) + " landmarks, not " +
               std::to_string(kLandmarkCount) + ".";
    if (parts.anchors.size() != parts.forests.size() ||
        parts.offsets.size() != parts.forests.size())
        return "its cascades and feature tables do not match.";
    for (size_t cascade = 0; cascade < parts.forests.size(); ++cascade) {
        const std::vector<unsigned long>& anchors = parts.anchors[cascade];
        if (parts.offsets[cascade].size() != anchors.size())
            return "its cascades and feature tables do not match.";
        for (const unsigned long anchor : anchors)
            if (anchor >= static_cast<unsigned long>(kLandmarkCount))
                return "a feature is anchored to a landmark it does not have.";
        for (const dlib::impl::regression_tree& tree : parts.forests[cascade]) {
            if (tree.leaf_values.size() != tree.splits.size() + 1)
                return "a tree has the wrong number of leaves.";
            for (const dlib::impl::split_feature& split : tree.splits)
                if (split.idx1 >= anchors.size() || split.idx2 >= anchors.size())
                    return "a tree compares a feature that is not there.";
            for (const dlib::matrix<float, 0, 1>& leaf : tree.leaf_values)
                if (leaf.size() != values)
                    return "a tree's leaf does not move every landmark.";
        }
    }
    return {};
}

// The 68-point model the stream holds, read whole and checked; throws a message naming the file.
dlib::shape_predictor readLandmarkModel(std::istream& in, const std::string& shown) {
    const std::string damaged = "The face landmark model " + shown + " is damaged: ";
    dlib::shape_predictor predictor;
    try {
        // Read and checked first, then read again by dlib, which trusts what it reads.
        if (const std::string fault = modelFault(ModelPartsReader(in).read()); !fault.empty())
            throw std::runtime_error(damaged + fault);
        in.clear();
        in.seekg(0);
        dlib::deserialize(predictor, in);
    } catch (const dlib::serialization_error& e) {
        throw std::runtime_error(damaged + e.what());
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(damaged + "its tables are larger than the memory left.");
    } catch (const std::length_error&) {
        throw std::runtime_error(damaged + "its tables are larger than the memory left.");
    }
    return predictor;
}

class DlibFaceFinder final : public FaceFinder {
public:
    explicit DlibFaceFinder(const QString& modelPath) {
        const QFileInfo info(modelPath);
        const std::string shown = modelPath.toStdString();
        if (!info.exists())
            throw std::runtime_error("The face landmark model " + shown +
                                     " is missing; the package " + kModelPackage + " provides it.");
        std::ifstream in(localPath(modelPath), std::ios::binary);
        if (!info.isFile() || !in)
            throw std::runtime_error("The face landmark model " + shown + " cannot be read.");
        // A file that does not even start as a landmark model fails here, before the detector
        // is started.
        checkModelStart(in, shown);
        // The detector's own model (built into dlib) decodes meanwhile: half a second saved.
        std::future<dlib::frontal_face_detector> detector =
            std::async(std::launch::async, [] { return dlib::get_frontal_face_detector(); });
        predictor_ = readLandmarkModel(in, shown);
        detector_ = detector.get();
    }

    std::vector<FoundFace> findFaces(const QImage& picture) const override {
        if (picture.isNull())
            return {};
        double sx = 1, sy = 1;
        const dlib::array2d<unsigned char> grey = detectionImage(picture, sx, sy);
        std::vector<dlib::rectangle> boxes;
        {
            // The detector keeps its image pyramid in itself: one search at a time.
            const std::lock_guard lock(detectorMutex_);
            boxes = detector_(grey);
        }
        // Back to picture pixels; dlib's rectangles include their right and bottom pixel. A box
        // may reach past the picture's edge: the fit needs it whole.
        std::vector<QRectF> found;
        found.reserve(boxes.size());
        for (const dlib::rectangle& b : boxes) {
            found.emplace_back(b.left() / sx, b.top() / sy, (b.right() + 1 - b.left()) / sx,
                               (b.bottom() + 1 - b.top()) / sy);
        }
        std::stable_sort(found.begin(), found.end(), [](const QRectF& a, const QRectF& b) {
            return a.width() * a.height() > b.width() * b.height();
        });
        std::vector<FoundFace> faces;
        faces.reserve(found.size());
        for (const QRectF& box : found)
            faces.push_back(fitInBox(picture, box));
        return faces;
    }

    FoundFace fitInBox(const QImage& picture, const QRectF& box) const override {
        FoundFace face{box, {}};
        if (picture.isNull() || box.width() < 1 || box.height() < 1) {
            face.points.fill(box.center());
            return face;
        }
        // Only the neighbourhood of the box, at full resolution; dlib reads 24-bit colour and
        // grey rows in place, other formats are converted there.
        QRect region = box.adjusted(-kFitMargin * box.width(), -kFitMargin * box.height(),
                                    kFitMargin * box.width(), kFitMargin * box.height())
                           .toAlignedRect() &
                       picture.rect();
        if (region.isEmpty())
            region = picture.rect();
        const QImage::Format format = picture.format();
        const bool readInPlace = format == QImage::Format_RGB888 ||
                                 format == QImage::Format_BGR888 ||
                                 format == QImage::Format_Grayscale8;
        const QImage converted =
            readInPlace ? QImage() : picture.copy(region).convertToFormat(QImage::Format_RGB888);
        const QImage& source = readInPlace ? picture : converted;
        const QRect area = readInPlace ? region : converted.rect();

        const dlib::rectangle rect(
            std::lround(box.left()) - region.x(), std::lround(box.top()) - region.y(),
            std::lround(box.right()) - 1 - region.x(), std::lround(box.bottom()) - 1 - region.y());
        dlib::full_object_detection shape;
        switch (source.format()) {
            case QImage::Format_BGR888:
                shape = predictor_(viewOf<dlib::bgr_pixel>(source, area), rect);
                break;
            case QImage::Format_Grayscale8:
                shape = predictor_(viewOf<unsigned char>(source, area), rect);
                break;
            default:
                shape = predictor_(viewOf<dlib::rgb_pixel>(source, area), rect);
                break;
        }
        for (int i = 0; i < kLandmarkCount; ++i) {
            const dlib::point p = shape.part(static_cast<unsigned long>(i));
            face.points[size_t(i)] = QPointF(p.x() + region.x(), p.y() + region.y());
        }
        return face;
    }

private:
    mutable std::mutex detectorMutex_;
    mutable dlib::frontal_face_detector detector_;
    dlib::shape_predictor predictor_;  // its prediction is const and keeps no state
};

}  // namespace

QString defaultModelPath() {
    // MUGWARP_FACE_MODEL names another file of the same kind.
    const QString chosen = qEnvironmentVariable("MUGWARP_FACE_MODEL");
    return chosen.isEmpty()
               ? QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat")
               : chosen;
}

void checkLandmarkModel(std::string_view bytes, const std::string& shown) {
    std::istringstream in{std::string(bytes), std::ios::binary};
    checkModelStart(in, shown);
    readLandmarkModel(in, shown);
}

std::unique_ptr<FaceFinder> loadFaceFinder(const QString& modelPath) {
    return std::make_unique<DlibFaceFinder>(modelPath);
}

const FaceFinder& sharedFaceFinder() {
    // Loaded once; a failed load leaves it empty so the next call tries again (the user may
    // have installed the package meanwhile).
    static std::mutex mutex;
    static std::unique_ptr<FaceFinder> finder;
    const std::lock_guard lock(mutex);
    if (!finder)
        finder = loadFaceFinder();
    return *finder;
}

std::vector<FoundFace> findFaces(const QImage& picture) {
    return sharedFaceFinder().findFaces(picture);
}

}  // namespace face
