// The ring of history slots, numbered 1 to 1001. Slots hold implicitly shared
// pictures, so storing the current picture costs no copy until it changes.
#pragma once

#include <QImage>
#include <vector>

class EditHistory {
public:
    static constexpr int kSlotCount = 1001;

    // Creates the empty slots.
    void create();
    // Frees every slot.
    void clear();
    bool created() const { return !slots_.empty(); }

    void store(int slot, const QImage& picture);
    QImage picture(int slot) const;

private:
    std::vector<QImage> slots_;
};

// The slot after and before `slot` along the ring (1001 is followed by 1).
int nextSlot(int slot);
int previousSlot(int slot);
