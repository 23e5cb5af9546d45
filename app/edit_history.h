// The ring of history slots, numbered 1 to 1001. Each slot is a tiled snapshot
// that shares unchanged tiles with the step it was taken after.
#pragma once

#include <QImage>
#include <cstddef>
#include <vector>

#include "app/tiled_picture.h"

class EditHistory {
public:
    static constexpr int kSlotCount = 1001;

    // Creates the empty slots.
    void create();
    // Frees every slot.
    void clear();
    bool created() const { return !slots_.empty(); }

    // Stores `picture` in `slot`, sharing what did not change with slot
    // `neighbour` (0 for none). Throws std::bad_alloc when memory cannot be had;
    // every slot is then as it was.
    void store(int slot, const QImage& picture, int neighbour);
    // The picture of `slot` (null for an empty slot).
    QImage picture(int slot) const;

    // Bytes of pixels held by all slots, each shared tile counted once.
    size_t bytes() const;
    // Caps bytes(); a store beyond it fails as if memory had run out. 0: no cap.
    void setByteBudget(size_t budget) { budget_ = budget; }

private:
    size_t indexOf(int slot) const;

    std::vector<TiledPicture> slots_;
    size_t budget_ = 0;
};

// The slot after and before `slot` along the ring (1001 is followed by 1).
int nextSlot(int slot);
int previousSlot(int slot);
