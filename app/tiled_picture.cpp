#include "app/tiled_picture.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

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

TiledPicture TiledPicture::capture(const QImage& picture, const TiledPicture* neighbour,
                                   const std::function<void(size_t)>& allocate) {
    if (picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("History pictures must be 24-bit");
    }
    TiledPicture snapshot;
    snapshot.size_ = picture.size();
    snapshot.columns_ = (picture.width() + kTileSize - 1) / kTileSize;
    const int rows = (picture.height() + kTileSize - 1) / kTileSize;
    const bool canShare = neighbour != nullptr && neighbour->size_ == picture.size();
    snapshot.tiles_.reserve(static_cast<size_t>(snapshot.columns_) * rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < snapshot.columns_; ++column) {
            const int left = column * kTileSize;
            const int top = row * kTileSize;
            const size_t index = snapshot.tiles_.size();
            if (canShare && tileEquals(*neighbour->tiles_[index], picture, left, top)) {
                snapshot.tiles_.push_back(neighbour->tiles_[index]);
                continue;
            }
            auto tile = std::make_shared<Tile>();
            tile->width = std::min(kTileSize, picture.width() - left);
            tile->height = std::min(kTileSize, picture.height() - top);
            if (allocate) {
                allocate(tile->byteCount());
            }
            tile->bytes = std::make_unique<uchar[]>(tile->byteCount());
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
