// The ring of history slots, numbered 1 to 1001. Each slot is a tiled snapshot
// that shares unchanged tiles with the step it was taken after. The slots keep
// within a memory budget: a new step that would pass it lets the oldest undo
// steps go.
#pragma once

#include <QImage>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "app/memory_budget.h"
#include "app/tiled_picture.h"

class EditHistory {
public:
    static constexpr int kSlotCount = 1001;

    // What recording a step did.
    struct StepOutcome {
        bool stored = false;      // the step has its slot
        int letGo = 0;            // oldest undo steps let go to make room
        bool firstLetGo = false;  // the first time this history let steps go
    };

    // Creates the empty slots.
    void create();
    // Frees every slot.
    void clear();
    bool created() const { return !slots_.empty(); }

    // Stores `picture` in `slot`, sharing what did not change with slot
    // `neighbour` (0 for none). Throws std::bad_alloc when memory cannot be had;
    // every slot is then as it was.
    void store(int slot, const QImage& picture, int neighbour);

    // Records `picture` as the step after slot `current`, from which `undoCount`
    // earlier steps can be undone: it goes to the next slot, sharing with
    // `current`. Slots no undo can reach any more (dropped redo steps, an earlier
    // history) are freed first. When the step would pass the budget, the oldest
    // of the earlier steps are let go (their slots emptied) until it fits. A step
    // that cannot fit even with all of them gone is not stored and lets nothing
    // go; when memory cannot be had it is not stored either, and `letGo` counts
    // what went before.
    StepOutcome storeStep(int current, int undoCount, const QImage& picture);

    // Frees every slot but `slot`, once a new history begins there.
    void releaseAllBut(int slot);
    // The picture of `slot` (null for an empty or let-go slot).
    QImage picture(int slot) const;

    // Bytes of pixels held by all slots, each shared tile counted once.
    size_t bytes() const { return ledger_->bytes; }

    // Tells storeStep() the most the history may keep, in bytes (0 for no budget),
    // given what it holds and the bytes of the picture to record. Asked before each
    // step, so a limit that shrinks is followed.
    using BudgetFunction = std::function<size_t(size_t historyBytes, size_t pictureBytes)>;
    // The budget of the last step (0 before it) or the fixed one. Unless set, it is worked out
    // afresh from the memory this process may use (currentHistoryBudget()).
    size_t budget() const { return budget_; }
    // A fixed budget in place of the function.
    void setBudget(size_t budget) {
        budgetFunction_ = nullptr;
        budget_ = budget;
    }
    void setBudgetFunction(BudgetFunction function) { budgetFunction_ = std::move(function); }
    // Makes every store that would bring bytes() beyond `limit` fail as if
    // memory had run out (0: no limit), so the out-of-memory path can be tried.
    void setMemoryLimit(size_t limit) { memoryLimit_ = limit; }

private:
    size_t indexOf(int slot) const;
    // Returns whether it freed any slot.
    bool freeUnreachable(int oldest, int undoCount);

    std::vector<TiledPicture> slots_;
    std::shared_ptr<TiledPicture::Ledger> ledger_ = std::make_shared<TiledPicture::Ledger>();
    BudgetFunction budgetFunction_ = currentHistoryBudget;
    size_t budget_ = 0;
    size_t memoryLimit_ = 0;
    bool letGoBefore_ = false;
};

// The slot after and before `slot` along the ring (1001 is followed by 1).
int nextSlot(int slot);
int previousSlot(int slot);
