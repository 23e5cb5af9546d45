#include "app/edit_history.h"

#include <stdexcept>

void EditHistory::create() {
    slots_.assign(kSlotCount, QImage());
}

void EditHistory::clear() {
    slots_.clear();
    slots_.shrink_to_fit();
}

void EditHistory::store(int slot, const QImage& picture) {
    if (slot < 1 || slot > kSlotCount || slots_.empty()) {
        throw std::out_of_range("History slot out of range");
    }
    slots_[static_cast<size_t>(slot - 1)] = picture;
}

QImage EditHistory::picture(int slot) const {
    if (slot < 1 || slot > kSlotCount || slots_.empty()) {
        throw std::out_of_range("History slot out of range");
    }
    return slots_[static_cast<size_t>(slot - 1)];
}

int nextSlot(int slot) {
    return slot >= EditHistory::kSlotCount ? 1 : slot + 1;
}
int previousSlot(int slot) {
    return slot <= 1 ? EditHistory::kSlotCount : slot - 1;
}
