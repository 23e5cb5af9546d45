#include "formats/gif_animation_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/gif_memory_output.h"

namespace formats {
namespace {

constexpr const char* kSubject = "GIF animation";
constexpr int kMaxSide = 65535;
constexpr int kMaxDelay = 65535;
constexpr int kMaxColours = 256;

// The histogram reduces each channel to its top kCellBits bits: 32 x 32 x 32 cells.
constexpr int kCellBits = 5;
constexpr int kCellShift = 8 - kCellBits;
constexpr int kCellSide = 1 << kCellBits;
constexpr int kCellCount = kCellSide * kCellSide * kCellSide;

// The GIF writer's colours are 0xRRGGBB (red in the high byte, as a GIF palette lists them),
// unlike the program's colour values (red in the low byte, formats/colour_value.h); a
// Format_BGR888 pixel stores blue, green, red.
uint32_t rgbHighRedAt(const uchar* pixel) {
    return static_cast<uint32_t>(pixel[2]) << 16 | static_cast<uint32_t>(pixel[1]) << 8 | pixel[0];
}

// The cell of a pixel: red in the high bits, then green, then blue.
int cellAt(const uchar* pixel) {
    return (pixel[2] >> kCellShift) << (2 * kCellBits) | (pixel[1] >> kCellShift) << kCellBits |
           pixel[0] >> kCellShift;
}

// Coordinate 0..31 of a cell along channel 0 (red), 1 (green) or 2 (blue).
int cellCoordinate(int cell, int channel) {
    return cell >> (kCellBits * (2 - channel)) & (kCellSide - 1);
}

// The distinct colours of a frame while there are at most kMaxColours of them, each with its
// palette index (the order of first appearance).
class ExactColours {
public:
    ExactColours() { keys_.fill(kEmpty); }

    // Adds a colour; false once the frame has more than kMaxColours.
    bool add(uint32_t colour) {
        size_t slot = slotOf(colour);
        while (keys_[slot] != kEmpty) {
            if (keys_[slot] == colour) {
                return true;
            }
            slot = (slot + 1) % kSlots;
        }
        if (colours_.size() == kMaxColours) {
            return false;
        }
        keys_[slot] = colour;
        indices_[slot] = static_cast<uint8_t>(colours_.size());
        colours_.push_back(colour);
        return true;
    }

    // The index of a colour that was added.
    uint8_t indexOf(uint32_t colour) const {
        size_t slot = slotOf(colour);
        while (keys_[slot] != colour) {
            slot = (slot + 1) % kSlots;
        }
        return indices_[slot];
    }

    const std::vector<uint32_t>& colours() const { return colours_; }

private:
    static constexpr size_t kSlots = 1024;  // at most a quarter full
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;

    static size_t slotOf(uint32_t colour) { return (colour * 2654435761u) >> 22; }

    std::array<uint32_t, kSlots> keys_;
    std::array<uint8_t, kSlots> indices_{};
    std::vector<uint32_t> colours_;
};

// Pixels of one histogram cell: how many and the sums of their channels.
struct Cell {
    uint64_t count = 0;
    std::array<uint64_t, 3> sum{};  // red, green, blue
};

std::array<int, 3> meanOf(uint64_t count, const std::array<uint64_t, 3>& sum) {
    std::array<int, 3> mean{};
    for (int channel = 0; channel < 3; ++channel) {
        mean[channel] = static_cast<int>((sum[channel] + count / 2) / count);
    }
    return mean;
}

// A median-cut box: a run of the occupied cells, with their pixel count and the range of
// their coordinates per channel.
struct Box {
    size_t begin = 0;
    size_t end = 0;
    uint64_t count = 0;
    std::array<int, 3> low{};
    std::array<int, 3> high{};

    int widestChannel() const {
        int widest = 0;
        for (int channel = 1; channel < 3; ++channel) {
            if (high[channel] - low[channel] > high[widest] - low[widest]) {
                widest = channel;
            }
        }
        return widest;
    }
    int range() const { return high[widestChannel()] - low[widestChannel()]; }
};

Box measure(size_t begin, size_t end, const std::vector<int>& cells,
            const std::vector<Cell>& histogram) {
    Box box{begin, end, 0, {kCellSide, kCellSide, kCellSide}, {-1, -1, -1}};
    for (size_t i = begin; i < end; ++i) {
        box.count += histogram[static_cast<size_t>(cells[i])].count;
        for (int channel = 0; channel < 3; ++channel) {
            const int coordinate = cellCoordinate(cells[i], channel);
            box.low[channel] = std::min(box.low[channel], coordinate);
            box.high[channel] = std::max(box.high[channel], coordinate);
        }
    }
    return box;
}

// Splits a box of more than one cell across its widest channel where half of its pixels lie
// on either side, keeping at least one cell on each side.
std::array<Box, 2> split(const Box& box, std::vector<int>& cells,
                         const std::vector<Cell>& histogram) {
    const int channel = box.widestChannel();
    std::array<uint64_t, kCellSide> along{};
    for (size_t i = box.begin; i < box.end; ++i) {
        along[static_cast<size_t>(cellCoordinate(cells[i], channel))] +=
            histogram[static_cast<size_t>(cells[i])].count;
    }
    int last = box.low[channel];  // the highest coordinate of the lower half
    for (uint64_t below = along[static_cast<size_t>(last)]; 2 * below < box.count;) {
        ++last;
        below += along[static_cast<size_t>(last)];
    }
    last = std::min(last, box.high[channel] - 1);
    const auto middle =
        std::partition(cells.begin() + static_cast<std::ptrdiff_t>(box.begin),
                       cells.begin() + static_cast<std::ptrdiff_t>(box.end),
                       [&](int cell) { return cellCoordinate(cell, channel) <= last; });
    const auto at = static_cast<size_t>(middle - cells.begin());
    return {measure(box.begin, at, cells, histogram), measure(at, box.end, cells, histogram)};
}

// A frame's colour table and the index of each of its pixels.
class FramePalette {
public:
    explicit FramePalette(const QImage& frame) {
        histogram_.resize(kCellCount);
        bool exact = true;
        uint32_t previous = 0xFFFFFFFF;  // no colour
        const int width = frame.width();
        for (int y = 0; y < frame.height(); ++y) {
            const uchar* pixel = frame.constScanLine(y);
            for (int x = 0; x < width; ++x, pixel += 3) {
                Cell& cell = histogram_[static_cast<size_t>(cellAt(pixel))];
                ++cell.count;
                cell.sum[0] += pixel[2];
                cell.sum[1] += pixel[1];
                cell.sum[2] += pixel[0];
                if (exact) {
                    const uint32_t colour = rgbHighRedAt(pixel);
                    if (colour != previous) {
                        previous = colour;
                        exact = exact_.add(colour);
                    }
                }
            }
        }
        keepsExactColours_ = exact;
        if (exact) {
            for (const uint32_t colour : exact_.colours()) {
                colours_.push_back(GifColorType{static_cast<GifByteType>(colour >> 16),
                                                static_cast<GifByteType>(colour >> 8),
                                                static_cast<GifByteType>(colour)});
            }
        } else {
            medianCut();
        }
        // GIF colour tables hold a power of two from 2 to 256 entries.
        size_t tableSize = 2;
        while (tableSize < colours_.size()) {
            tableSize *= 2;
        }
        colours_.resize(tableSize, GifColorType{0, 0, 0});
    }

    const std::vector<GifColorType>& colours() const { return colours_; }

    // The palette indices of one row of the frame.
    void mapRow(const uchar* pixel, int width, GifPixelType* indices) const {
        if (keepsExactColours_) {
            uint32_t previous = rgbHighRedAt(pixel);
            GifPixelType index = exact_.indexOf(previous);
            for (int x = 0; x < width; ++x, pixel += 3) {
                const uint32_t colour = rgbHighRedAt(pixel);
                if (colour != previous) {
                    previous = colour;
                    index = exact_.indexOf(colour);
                }
                indices[x] = index;
            }
        } else {
            for (int x = 0; x < width; ++x, pixel += 3) {
                indices[x] = cellIndex_[static_cast<size_t>(cellAt(pixel))];
            }
        }
    }

private:
    // Up to kMaxColours boxes of occupied cells: the box to split next is the one with the most
    // pixels times its widest range, so crowded and wide regions both get colours. Each box
    // gives the mean of its pixels; each cell then takes the palette colour nearest its mean.
    void medianCut() {
        std::vector<int> cells;
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (histogram_[static_cast<size_t>(cell)].count != 0) {
                cells.push_back(cell);
            }
        }
        std::vector<Box> boxes{measure(0, cells.size(), cells, histogram_)};
        while (boxes.size() < kMaxColours) {
            size_t chosen = boxes.size();
            uint64_t best = 0;
            for (size_t i = 0; i < boxes.size(); ++i) {
                const uint64_t priority = boxes[i].count * static_cast<uint64_t>(boxes[i].range());
                if (priority > best) {
                    best = priority;
                    chosen = i;
                }
            }
            if (chosen == boxes.size()) {
                break;  // every box is a single cell
            }
            const std::array<Box, 2> halves = split(boxes[chosen], cells, histogram_);
            boxes[chosen] = halves[0];
            boxes.push_back(halves[1]);
        }
        std::vector<std::array<int, 3>> palette;
        for (const Box& box : boxes) {
            std::array<uint64_t, 3> sum{};
            for (size_t i = box.begin; i < box.end; ++i) {
                for (int channel = 0; channel < 3; ++channel) {
                    sum[channel] += histogram_[static_cast<size_t>(cells[i])].sum[channel];
                }
            }
            const std::array<int, 3> mean = meanOf(box.count, sum);
            palette.push_back(mean);
            colours_.push_back(GifColorType{static_cast<GifByteType>(mean[0]),
                                            static_cast<GifByteType>(mean[1]),
                                            static_cast<GifByteType>(mean[2])});
        }
        cellIndex_.assign(kCellCount, 0);
        for (const int cell : cells) {
            const Cell& pixels = histogram_[static_cast<size_t>(cell)];
            const std::array<int, 3> mean = meanOf(pixels.count, pixels.sum);
            int nearest = 0;
            int nearestDistance = 3 * 255 * 255 + 1;
            for (size_t index = 0; index < palette.size(); ++index) {
                const int red = palette[index][0] - mean[0];
                const int green = palette[index][1] - mean[1];
                const int blue = palette[index][2] - mean[2];
                const int distance = red * red + green * green + blue * blue;
                if (distance < nearestDistance) {
                    nearestDistance = distance;
                    nearest = static_cast<int>(index);
                }
            }
            cellIndex_[static_cast<size_t>(cell)] = static_cast<GifPixelType>(nearest);
        }
    }

    std::vector<Cell> histogram_;
    ExactColours exact_;
    bool keepsExactColours_ = false;
    std::vector<GifColorType> colours_;
    std::vector<GifPixelType> cellIndex_;  // palette index per cell after a median cut
};

void checkDelay(int delayCentiseconds) {
    if (delayCentiseconds < 0 || delayCentiseconds > kMaxDelay) {
        throw std::invalid_argument("The delay of a GIF frame must lie in 0..65535.");
    }
}

void checkFrame(const QImage& frame) {
    if (frame.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("GIF animation frames must be Format_BGR888 pictures.");
    }
    if (frame.width() > kMaxSide || frame.height() > kMaxSide) {
        throw FormatError("A frame of " + std::to_string(frame.width()) + " x " +
                          std::to_string(frame.height()) +
                          " pixels is too large for a GIF animation: GIF allows at most "
                          "65535 pixels in each direction.");
    }
}

// The logical screen's size sits right after the six-byte signature, little-endian.
void patchScreenSize(QByteArray& gif, int width, int height) {
    constexpr int kScreenAt = 6;
    gif[kScreenAt] = static_cast<char>(width & 0xff);
    gif[kScreenAt + 1] = static_cast<char>(width >> 8);
    gif[kScreenAt + 2] = static_cast<char>(height & 0xff);
    gif[kScreenAt + 3] = static_cast<char>(height >> 8);
}

void putLoopForever(GifMemoryOutput& output) {
    static constexpr GifByteType kName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static constexpr GifByteType kLoop[] = {1, 0, 0};  // sub-block 1: loop count 0, forever
    output.check(EGifPutExtensionLeader(output.gif(), APPLICATION_EXT_FUNC_CODE));
    output.check(EGifPutExtensionBlock(output.gif(), static_cast<int>(sizeof kName), kName));
    output.check(EGifPutExtensionBlock(output.gif(), static_cast<int>(sizeof kLoop), kLoop));
    output.check(EGifPutExtensionTrailer(output.gif()));
}

void putFrame(GifMemoryOutput& output, const QImage& frame, int delayCentiseconds) {
    const GraphicsControlBlock control{DISPOSE_BACKGROUND, false, delayCentiseconds,
                                       NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    output.check(EGifPutExtension(output.gif(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                                  extension));
    const FramePalette palette(frame);
    const GifColourMap map = makeGifColourMap(palette.colours(), kSubject);
    output.check(
        EGifPutImageDesc(output.gif(), 0, 0, frame.width(), frame.height(), false, map.get()));
    std::vector<GifPixelType> line(static_cast<size_t>(frame.width()));
    for (int y = 0; y < frame.height(); ++y) {
        palette.mapRow(frame.constScanLine(y), frame.width(), line.data());
        output.check(EGifPutLine(output.gif(), line.data(), frame.width()));
    }
}

}  // namespace

QByteArray encodeGifAnimation(int frameCount, const GifFrameSource& frameAt,
                              int delayCentiseconds) {
    if (frameCount < 1) {
        throw std::invalid_argument("A GIF animation needs at least one frame.");
    }
    checkDelay(delayCentiseconds);
    GifMemoryOutput output(kSubject);
    EGifSetGifVersion(output.gif(), true);
    // The screen's size is known only after the last frame; it is filled in at the end.
    output.check(EGifPutScreenDesc(output.gif(), kMaxSide, kMaxSide, 8, 0, nullptr));
    putLoopForever(output);
    int width = 0;
    int height = 0;
    for (int index = 0; index < frameCount; ++index) {
        const QImage frame = frameAt(index);
        checkFrame(frame);
        width = std::max(width, frame.width());
        height = std::max(height, frame.height());
        putFrame(output, frame, delayCentiseconds);
    }
    QByteArray gif = output.finish();
    patchScreenSize(gif, width, height);
    return gif;
}

QByteArray encodeGifAnimation(const std::vector<QImage>& frames, int delayCentiseconds) {
    return encodeGifAnimation(
        static_cast<int>(frames.size()),
        [&frames](int index) { return frames[static_cast<size_t>(index)]; }, delayCentiseconds);
}

}  // namespace formats
