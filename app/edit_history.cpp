#include "app/edit_history.h"

#include <new>
#include <stdexcept>
#include <unordered_set>

void EditHistory::create() {
    slots_.assign(kSlotCount, TiledPicture());
}

void EditHistory::clear() {
    slots_.clear();
    slots_.shrink_to_fit();
}

size_t EditHistory::indexOf(int slot) const {
    if (slot < 1 || slot > kSlotCount || slots_.empty()) {
        throw std::out_of_range("History slot out of range");
    }
    return static_cast<size_t>(slot - 1);
}

void EditHistory::store(int slot, const QImage& picture, int neighbour) {
    const size_t target = indexOf(slot);
    const TiledPicture* shareWith = neighbour == 0 ? nullptr : &slots_[indexOf(neighbour)];
    std::function<void(size_t)> allocate;
    size_t pending = 0;
    size_t held = 0;
    if (budget_ != 0) {
        held = bytes();
        allocate = [&](size_t count) {
            pending += count;
            if (held + pending > budget_) {
                throw std::bad_alloc();
            }
        };
    }
    // The snapshot is complete before the slot changes, so a failure keeps it.
    TiledPicture snapshot = TiledPicture::capture(picture, shareWith, allocate);
    slots_[target] = std::move(snapshot);
}

QImage EditHistory::picture(int slot) const {
    return slots_[indexOf(slot)].toImage();
}

size_t EditHistory::bytes() const {
    std::unordered_set<const TiledPicture::Tile*> seen;
    size_t total = 0;
    for (const TiledPicture& slot : slots_) {
        for (const auto& tile : slot.tiles()) {
            if (seen.insert(tile.get()).second) {
                total += tile->byteCount();
            }
        }
    }
    return total;
}

int nextSlot(int slot) {
    return slot >= EditHistory::kSlotCount ? 1 : slot + 1;
}
int previousSlot(int slot) {
    return slot <= 1 ? EditHistory::kSlotCount : slot - 1;
}
