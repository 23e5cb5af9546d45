#include "app/tiled_picture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

int tileRows(const QImage& picture) {
    return (picture.height() + TiledPicture::kTileSize - 1) / TiledPicture::kTileSize;
}

int tileColumns(const QImage& picture) {
    return (picture.width() + TiledPicture::kTileSize - 1) / TiledPicture::kTileSize;
}

bool tileEquals(const TiledPicture::Tile& tile, const QImage& picture, int left, int top) {
    const size_t rowBytes = static_cast<size_t>(tile.width) * 3;
    for (int y = 0; y < tile.height; ++y) {
        const uchar* source = picture.constScanLine(top + y) + static_cast<size_t>(left) * 3;
        if (std::memcmp(tile.bytes.get() + y * rowBytes, source, rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

TiledPicture::Plan TiledPicture::plan(const QImage& picture, const TiledPicture* neighbour) {
    if (picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("History pictures must be 24-bit");
    }
    const int columns = tileColumns(picture);
    const int rows = tileRows(picture);
    const bool canShare = neighbour != nullptr && neighbour->size_ == picture.size();
    Plan plan;
    plan.fresh.reserve(static_cast<size_t>(columns) * rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int left = column * kTileSize;
            const int top = row * kTileSize;
            const bool fresh =
                !canShare || !tileEquals(*neighbour->tiles_[plan.fresh.size()], picture, left, top);
            plan.fresh.push_back(fresh);
            if (fresh) {
                plan.bytes += static_cast<size_t>(std::min(kTileSize, picture.width() - left)) *
                              std::min(kTileSize, picture.height() - top) * 3;
            }
        }
    }
    return plan;
}

TiledPicture TiledPicture::capture(const QImage& picture, const TiledPicture* neighbour,
                                   const Plan& plan, const std::shared_ptr<Ledger>& ledger) {
    const int columns = tileColumns(picture);
    const int rows = tileRows(picture);
    if (plan.fresh.size() != static_cast<size_t>(columns) * rows) {
        throw std::logic_error("History plan made for another picture");
    }
    TiledPicture snapshot;
    snapshot.size_ = picture.size();
    snapshot.columns_ = columns;
    snapshot.tiles_.reserve(plan.fresh.size());
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const size_t index = snapshot.tiles_.size();
            if (!plan.fresh[index]) {
                snapshot.tiles_.push_back(neighbour->tiles_[index]);
                continue;
            }
            const int left = column * kTileSize;
            const int top = row * kTileSize;
            auto tile = std::make_shared<Tile>();
            tile->width = std::min(kTileSize, picture.width() - left);
            tile->height = std::min(kTileSize, picture.height() - top);
            tile->bytes = std::make_unique<uchar[]>(tile->byteCount());
            if (ledger) {
                tile->ledger = ledger;
                ledger->bytes += tile->byteCount();
            }
            const size_t rowBytes = static_cast<size_t>(tile->width) * 3;
            for (int y = 0; y < tile->height; ++y) {
                std::memcpy(tile->bytes.get() + y * rowBytes,
                            picture.constScanLine(top + y) + static_cast<size_t>(left) * 3,
                            rowBytes);
            }
            snapshot.tiles_.push_back(std::move(tile));
        }
    }
    return snapshot;
}

TiledPicture TiledPicture::capture(const QImage& picture, const TiledPicture* neighbour) {
    return capture(picture, neighbour, plan(picture, neighbour));
}

size_t TiledPicture::byteCount() const {
    size_t total = 0;
    for (const auto& tile : tiles_) {
        total += tile->byteCount();
    }
    return total;
}

QImage TiledPicture::toImage() const {
    if (isNull()) {
        return {};
    }
    QImage picture(size_, QImage::Format_BGR888);
    if (picture.isNull()) {
        throw std::bad_alloc();
    }
    for (size_t index = 0; index < tiles_.size(); ++index) {
        const Tile& tile = *tiles_[index];
        const int left = static_cast<int>(index % columns_) * kTileSize;
        const int top = static_cast<int>(index / columns_) * kTileSize;
        const size_t rowBytes = static_cast<size_t>(tile.width) * 3;
        for (int y = 0; y < tile.height; ++y) {
            std::memcpy(picture.scanLine(top + y) + static_cast<size_t>(left) * 3,
                        tile.bytes.get() + y * rowBytes, rowBytes);
        }
    }
    return picture;
}
