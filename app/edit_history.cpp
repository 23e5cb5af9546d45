#include "app/edit_history.h"

#include <algorithm>
#include <new>
#include <stdexcept>

void EditHistory::create() {
    slots_.assign(kSlotCount, TiledPicture());
    letGoBefore_ = false;
}

void EditHistory::clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    platform::releaseFreeHeap();
}

void EditHistory::releaseAllBut(int slot) {
    if (freeUnreachable(slot, 0)) {
        platform::releaseFreeHeap();
    }
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
    const TiledPicture::Plan plan = TiledPicture::plan(picture, shareWith);
    if (memoryLimit_ != 0 && bytes() + plan.bytes > memoryLimit_) {
        throw std::bad_alloc();
    }
    // The snapshot is complete before the slot changes, so a failure keeps it.
    TiledPicture snapshot = TiledPicture::capture(picture, shareWith, plan, ledger_);
    slots_[target] = std::move(snapshot);
}

// Keeps the slots from `oldest` along the ring to `oldest` + `undoCount`.
bool EditHistory::freeUnreachable(int oldest, int undoCount) {
    bool freed = false;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const int distance = (slot - oldest + kSlotCount) % kSlotCount;
        TiledPicture& held = slots_[indexOf(slot)];
        if (distance > undoCount && !held.isNull()) {
            held = TiledPicture();
            freed = true;
        }
    }
    return freed;
}

EditHistory::StepOutcome EditHistory::storeStep(int current, int undoCount, const QImage& picture) {
    const size_t currentIndex = indexOf(current);
    undoCount = std::clamp(undoCount, 0, kSlotCount - 1);
    int oldest = current;
    for (int i = 0; i < undoCount; ++i) {
        oldest = previousSlot(oldest);
    }
    // Freed tiles leave holes in the heap that still count as held until they go back to
    // the system; measured so, the budget would shrink by what the history gave up.
    if (freeUnreachable(oldest, undoCount)) {
        platform::releaseFreeHeap();
    }

    StepOutcome outcome;
    const TiledPicture& neighbour = slots_[currentIndex];
    try {
        if (budgetFunction_) {
            budget_ = budgetFunction_(bytes(), static_cast<size_t>(picture.sizeInBytes()));
        }
        const TiledPicture::Plan plan = TiledPicture::plan(picture, &neighbour);
        // With every earlier step gone, only the current slot would be left.
        if (budget_ != 0 && neighbour.byteCount() + plan.bytes > budget_) {
            return outcome;
        }
        while (budget_ != 0 && bytes() + plan.bytes > budget_ && undoCount > 0) {
            slots_[indexOf(oldest)] = TiledPicture();
            oldest = nextSlot(oldest);
            --undoCount;
            ++outcome.letGo;
        }
        if (memoryLimit_ == 0 || bytes() + plan.bytes <= memoryLimit_) {
            slots_[indexOf(nextSlot(current))] =
                TiledPicture::capture(picture, &neighbour, plan, ledger_);
            outcome.stored = true;
        }
    } catch (const std::bad_alloc&) {
        // The steps let go stay gone; the caller counts them.
    }
    if (outcome.letGo > 0) {
        platform::releaseFreeHeap();
    }
    if (outcome.letGo > 0 && !letGoBefore_) {
        letGoBefore_ = true;
        outcome.firstLetGo = true;
    }
    return outcome;
}

QImage EditHistory::picture(int slot) const {
    return slots_[indexOf(slot)].toImage();
}

int nextSlot(int slot) {
    return slot >= EditHistory::kSlotCount ? 1 : slot + 1;
}
int previousSlot(int slot) {
    return slot <= 1 ? EditHistory::kSlotCount : slot - 1;
}
