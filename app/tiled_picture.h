// A snapshot of a 24-bit picture cut into tiles. Snapshots taken one after the
// other share the tiles that did not change, so a history step that bulged one
// disc of a large photograph costs only the tiles around that disc.
#pragma once

#include <QImage>
#include <cstddef>
#include <memory>
#include <vector>

class TiledPicture {
public:
    static constexpr int kTileSize = 64;

    // The bytes held by the live tiles of one history. The tiles keep it themselves: a tile
    // adds its bytes when it is made and takes them off when its last snapshot lets it go.
    struct Ledger {
        size_t bytes = 0;
    };

    // A tile's pixels, rows of width * 3 bytes without padding.
    struct Tile {
        int width = 0;
        int height = 0;
        std::unique_ptr<uchar[]> bytes;
        std::shared_ptr<Ledger> ledger;

        Tile() = default;
        Tile(const Tile&) = delete;
        Tile& operator=(const Tile&) = delete;
        ~Tile() {
            if (ledger) {
                ledger->bytes -= byteCount();
            }
        }
        size_t byteCount() const { return static_cast<size_t>(width) * height * 3; }
    };

    // Which tiles a capture has to copy afresh because the neighbour has no equal one, and
    // the bytes they take, known before any of them is allocated.
    struct Plan {
        std::vector<bool> fresh;
        size_t bytes = 0;
    };

    TiledPicture() = default;

    // Compares `picture` (Format_BGR888) with `neighbour` (may be null) tile by tile.
    static Plan plan(const QImage& picture, const TiledPicture* neighbour);
    // Takes a snapshot of `picture`, copying the tiles `plan` marks fresh and reusing the
    // others from `neighbour`; new tiles are counted in `ledger` (may be null). Throws
    // std::bad_alloc when memory cannot be had.
    static TiledPicture capture(const QImage& picture, const TiledPicture* neighbour,
                                const Plan& plan, const std::shared_ptr<Ledger>& ledger = {});
    // Plans and captures in one go.
    static TiledPicture capture(const QImage& picture, const TiledPicture* neighbour);

    bool isNull() const { return tiles_.empty(); }
    QSize size() const { return size_; }
    // The bytes of all its tiles.
    size_t byteCount() const;
    // The picture put together again, bit for bit as captured.
    QImage toImage() const;
    // The distinct tiles, for counting memory shared between snapshots.
    const std::vector<std::shared_ptr<const Tile>>& tiles() const { return tiles_; }

private:
    QSize size_;
    int columns_ = 0;
    std::vector<std::shared_ptr<const Tile>> tiles_;
};
