// A snapshot of a 24-bit picture cut into tiles. Snapshots taken one after the
// other share the tiles that did not change, so a history step that bulged one
// disc of a large photograph costs only the tiles around that disc.
#pragma once

#include <QImage>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class TiledPicture {
public:
    static constexpr int kTileSize = 64;

    // A tile's pixels, rows of width * 3 bytes without padding.
    struct Tile {
        int width = 0;
        int height = 0;
        std::unique_ptr<uchar[]> bytes;
        size_t byteCount() const { return static_cast<size_t>(width) * height * 3; }
    };

    TiledPicture() = default;

    // Takes a snapshot of `picture` (Format_BGR888), reusing every tile of
    // `neighbour` whose pixels are unchanged. `allocate` is asked for each new
    // tile's bytes and may throw std::bad_alloc; nothing is shared then.
    static TiledPicture capture(const QImage& picture, const TiledPicture* neighbour,
                                const std::function<void(size_t)>& allocate = {});

    bool isNull() const { return tiles_.empty(); }
    QSize size() const { return size_; }
    // The picture put together again, bit for bit as captured.
    QImage toImage() const;
    // The distinct tiles, for counting memory shared between snapshots.
    const std::vector<std::shared_ptr<const Tile>>& tiles() const { return tiles_; }

private:
    QSize size_;
    int columns_ = 0;
    std::vector<std::shared_ptr<const Tile>> tiles_;
};
