#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/edit_history.h"
#include "app/memory_budget.h"
#include "platform/memory_limits.h"

namespace {

// A picture of one flat colour: every tile differs from one of another colour.
QImage flatPicture(int width, int height, int colour) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < width * 3; ++i) {
            row[i] = static_cast<uchar>(i % 3 == 0 ? colour : colour >> 8);
        }
    }
    return image;
}

// The main window's bookkeeping around storeStep(): the frame numbering moves on
// whatever was let go, the undo steps shrink by what was.
struct Steps {
    EditHistory history;
    int current = 1;
    int undo = 0;
    int letGo = 0;
    int firstLetGos = 0;

    explicit Steps(const QImage& start) {
        history.create();
        history.store(1, start, 0);
    }
    bool step(const QImage& picture) {
        const EditHistory::StepOutcome outcome = history.storeStep(current, undo, picture);
        undo -= outcome.letGo;
        letGo += outcome.letGo;
        firstLetGos += outcome.firstLetGo ? 1 : 0;
        if (outcome.stored) {
            current = nextSlot(current);
            undo = std::min(undo + 1, 1000);
        }
        return outcome.stored;
    }
};

constexpr size_t kPictureBytes = 128 * 128 * 3;  // four tiles

}  // namespace

TEST(HistoryBudget, LetsTheOldestStepsGoAndKeepsTheNewestExact) {
    std::vector<QImage> pictures;
    for (int colour = 0; colour < 8; ++colour) {
        pictures.push_back(flatPicture(128, 128, colour * 30));
    }
    Steps steps(pictures[0]);
    steps.history.setBudget(kPictureBytes * 7 / 2);  // room for three whole pictures
    for (int k = 1; k <= 7; ++k) {
        ASSERT_TRUE(steps.step(pictures[k]));
        EXPECT_LE(steps.history.bytes(), steps.history.budget());
    }
    EXPECT_EQ(steps.current, 8);  // numbered as if nothing was let go
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.letGo, 5);
    EXPECT_EQ(steps.firstLetGos, 1);
    for (int slot = 1; slot <= 5; ++slot) {
        EXPECT_TRUE(steps.history.picture(slot).isNull()) << slot;
    }
    for (int slot = 6; slot <= 8; ++slot) {
        EXPECT_EQ(steps.history.picture(slot), pictures[slot - 1]) << slot;
    }

    // A step that changes one tile costs one tile: it fits without letting anything go.
    QImage touched = pictures[7].copy();
    touched.scanLine(127)[3 * 127] ^= 0xFF;
    ASSERT_TRUE(steps.step(touched));
    EXPECT_EQ(steps.undo, 3);
    EXPECT_EQ(steps.history.bytes(), 3 * kPictureBytes + kPictureBytes / 4);
    EXPECT_EQ(steps.history.picture(9), touched);
    EXPECT_EQ(steps.history.picture(8), pictures[7]);
}

TEST(HistoryBudget, DropsRedoStepsBeforeAnyUndoStepAndRefusesWhatCannotFit) {
    Steps steps(flatPicture(128, 128, 1));
    steps.history.setBudget(kPictureBytes * 7 / 2);
    ASSERT_TRUE(steps.step(flatPicture(128, 128, 2)));
    ASSERT_TRUE(steps.step(flatPicture(128, 128, 3)));
    // One undo: slot 3 becomes a redo step. The next step drops it and then fits
    // without letting the step in slot 1 go.
    steps.current = 2;
    steps.undo = 1;
    const QImage next = flatPicture(128, 128, 4);
    ASSERT_TRUE(steps.step(next));
    EXPECT_EQ(steps.letGo, 0);
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.history.bytes(), 3 * kPictureBytes);
    EXPECT_EQ(steps.history.picture(3), next);

    // With room for less than the current picture and a whole new one, the step is
    // refused and every earlier step stays.
    steps.history.setBudget(kPictureBytes * 3 / 2);
    EXPECT_FALSE(steps.step(flatPicture(128, 128, 5)));
    EXPECT_EQ(steps.letGo, 0);
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.history.picture(1), flatPicture(128, 128, 1));
    EXPECT_EQ(steps.history.picture(2), flatPicture(128, 128, 2));
    EXPECT_EQ(steps.history.picture(3), next);
}

TEST(HistoryBudget, LetsGoAlongTheRingOnceTheNumberingWraps) {
    Steps steps(flatPicture(1, 1, 0));
    steps.history.setBudget(500 * 3);  // 500 one-pixel steps
    for (int k = 1; k <= 1200; ++k) {
        ASSERT_TRUE(steps.step(flatPicture(1, 1, k)));
    }
    EXPECT_EQ(steps.current, 1200 % 1001 + 1);
    EXPECT_EQ(steps.undo, 499);
    EXPECT_EQ(steps.history.bytes(), 500u * 3u);
    int slot = steps.current;
    for (int k = 1200; k > 1200 - 500; --k) {
        EXPECT_EQ(steps.history.picture(slot), flatPicture(1, 1, k)) << k;
        slot = previousSlot(slot);
    }
    EXPECT_TRUE(steps.history.picture(slot).isNull());
}

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;
using Kind = platform::MemoryLimit::Kind;

// A root folder with its own proc/ and sys/: 16 GiB of memory, 100 MiB resident of 400 MiB
// mapped (in 4 KiB pages), and whatever files a case adds.
struct FakeSystem {
    QTemporaryDir root;
    std::map<std::string, std::string> files = {
        {"proc/meminfo", "MemTotal:       16777216 kB\nMemFree:  1 kB\n"},
        {"proc/self/statm", "102400 25600 100 1 0 2000 0\n"},
    };

    platform::MemorySources sources(uint64_t addressSpace = platform::kNoMemoryLimit) {
        for (const auto& [path, text] : files) {
            const QString full = root.filePath(QString::fromStdString(path));
            QDir().mkpath(QFileInfo(full).path());
            QFile file(full);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path;
            file.write(text.data(), static_cast<qint64>(text.size()));
        }
        return {root.path().toStdString(), addressSpace, 4096};
    }
};

struct Found {
    Kind kind;
    uint64_t limit;
    uint64_t used;
    bool operator==(const Found&) const = default;
};

std::vector<Found> found(const std::vector<platform::MemoryLimit>& limits) {
    std::vector<Found> result;
    for (const platform::MemoryLimit& limit : limits) {
        result.push_back({limit.kind, limit.limit, limit.used});
    }
    return result;
}

const std::string kV1Mount = "36 32 0:33 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n";
const std::string kV2Mount = "42 32 0:39 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";

}  // namespace

TEST(MemoryLimits, ReadsHalfTheMachineTheGroupsAboveThisProcessAndTheAddressSpace) {
    const Found half{Kind::HalfOfMachine, 8 * kGiB, 100 * kMiB};
    const std::string v1 = "sys/fs/cgroup/memory/";
    const std::string v2 = "sys/fs/cgroup/unified/";
    struct Case {
        const char* name;
        std::map<std::string, std::string> files;
        uint64_t addressSpace;
        std::vector<Found> want;
    } cases[] = {
        {"v2 memory.max, less the unused file cache",
         {{"proc/self/cgroup", "0::/user.slice/s1\n"},
          {"proc/self/mountinfo", kV2Mount},
          {v2 + "user.slice/s1/memory.max", "1610612736\n"},
          {v2 + "user.slice/s1/memory.current", "500000000\n"},
          {v2 + "user.slice/s1/memory.stat", "anon 1\ninactive_file 200000000\n"}},
         platform::kNoMemoryLimit,
         {half, {Kind::ControlGroup, 1536 * kMiB, 300000000}}},
        {"v1 memory.limit_in_bytes under a mount of part of the tree, path escaped",
         {{"proc/self/cgroup", "5:devices:/x\n4:cpu,memory:/pod/my box\n"},
          {"proc/self/mountinfo",
           "36 32 0:33 /pod /sys/fs/cgroup/mem\\040v1 rw - cgroup cgroup rw,cpu,memory\n"},
          {"sys/fs/cgroup/mem v1/my box/memory.limit_in_bytes", "1073741824\n"},
          {"sys/fs/cgroup/mem v1/my box/memory.usage_in_bytes", "400000000\n"},
          {"sys/fs/cgroup/mem v1/my box/memory.stat", "total_inactive_file 1000\n"}},
         platform::kNoMemoryLimit,
         {half, {Kind::ControlGroup, kGiB, 399999000}}},
        {"\"max\" and v1's huge value are no limit",
         {{"proc/self/cgroup", "4:memory:/a\n0::/a\n"},
          {"proc/self/mountinfo", kV1Mount + kV2Mount},
          {v1 + "a/memory.limit_in_bytes", "9223372036854771712\n"},
          {v1 + "memory.limit_in_bytes", "9223372036854771712\n"},
          {v2 + "a/memory.max", "max\n"}},
         platform::kNoMemoryLimit,
         {half}},
        {"a parent's limit binds, found without mountinfo",
         {{"proc/self/cgroup", "4:memory:/a/b/c\n"},
          {v1 + "a/b/c/memory.limit_in_bytes", "9223372036854771712\n"},
          {v1 + "a/b/memory.limit_in_bytes", "3221225472\n"},
          {v1 + "a/b/memory.usage_in_bytes", "700000000\n"},
          {v1 + "a/memory.limit_in_bytes", "2147483648\n"}},  // no usage: taken as full
         platform::kNoMemoryLimit,
         {half,
          {Kind::ControlGroup, 3 * kGiB, 700000000},
          {Kind::ControlGroup, 2 * kGiB, 2 * kGiB}}},
        {"RLIMIT_AS against the mapped size",
         {},
         3 * kGiB,
         {half, {Kind::AddressSpace, 3 * kGiB, 400 * kMiB}}},
    };
    for (const Case& test : cases) {
        FakeSystem system;
        system.files.insert(test.files.begin(), test.files.end());
        EXPECT_EQ(found(platform::memoryLimits(system.sources(test.addressSpace))), test.want)
            << test.name;
    }
}

TEST(MemoryBudget, TheTightestRoomWinsAndShrinksAsHeldMemoryGrows) {
    FakeSystem system;
    system.files["proc/self/cgroup"] = "4:memory:/session\n";
    system.files["proc/self/mountinfo"] = kV1Mount;
    system.files["sys/fs/cgroup/memory/session/memory.limit_in_bytes"] = "1610612736\n";
    system.files["sys/fs/cgroup/memory/session/memory.usage_in_bytes"] = "734003200\n";
    constexpr size_t kPicture = 72 * kMiB;  // 6000 x 4000 at 3 bytes a pixel
    constexpr size_t kHistory = 500 * kMiB;
    const size_t headroom = effectHeadroom(kPicture);
    EXPECT_GE(headroom, 5 * kPicture);

    // 700 MiB used in the group, 500 MiB of them the history's: the group's room wins over
    // half the machine and over an address space of 3 GiB with 400 MiB mapped.
    const auto budget = [&](uint64_t addressSpace) {
        return historyBudget(platform::memoryLimits(system.sources(addressSpace)), kHistory,
                             kPicture);
    };
    EXPECT_EQ(budget(3 * kGiB), 1536 * kMiB - 200 * kMiB - headroom);

    // The program takes 300 MiB more: the budget loses as much.
    system.files["sys/fs/cgroup/memory/session/memory.usage_in_bytes"] = "1048576000\n";
    EXPECT_EQ(budget(3 * kGiB), 1536 * kMiB - 500 * kMiB - headroom);
    // A tighter address space wins: 1 GiB with 1000 MiB mapped, 500 MiB of them the history's.
    system.files["proc/self/statm"] = "256000 25600 100 1 0 2000 0\n";
    EXPECT_EQ(budget(kGiB), 1024 * kMiB - 500 * kMiB - headroom);
    // The group full and none of it the history's: a budget that refuses every step, never
    // "no budget" (0).
    system.files["sys/fs/cgroup/memory/session/memory.usage_in_bytes"] = "1610612736\n";
    EXPECT_EQ(historyBudget(platform::memoryLimits(system.sources()), 0, kPicture), 1u);
}

TEST(HistoryBudget, FollowsABudgetThatShrinksBetweenSteps) {
    Steps steps(flatPicture(128, 128, 0));
    size_t room = 6 * kPictureBytes;
    std::vector<size_t> heldWhenAsked;
    steps.history.setBudgetFunction([&](size_t historyBytes, size_t pictureBytes) {
        EXPECT_EQ(pictureBytes, kPictureBytes);
        heldWhenAsked.push_back(historyBytes);
        return room;
    });
    for (int k = 1; k <= 5; ++k) {
        ASSERT_TRUE(steps.step(flatPicture(128, 128, k * 40)));
    }
    EXPECT_EQ(steps.letGo, 0);
    EXPECT_EQ(heldWhenAsked,
              (std::vector<size_t>{1 * kPictureBytes, 2 * kPictureBytes, 3 * kPictureBytes,
                                   4 * kPictureBytes, 5 * kPictureBytes}));

    // The limit shrinks to room for three pictures: the next step keeps the newest two.
    room = 3 * kPictureBytes;
    ASSERT_TRUE(steps.step(flatPicture(128, 128, 250)));
    EXPECT_EQ(steps.history.budget(), room);
    EXPECT_EQ(steps.letGo, 4);
    EXPECT_EQ(steps.undo, 2);
    EXPECT_EQ(steps.history.bytes(), 3 * kPictureBytes);
    EXPECT_EQ(steps.history.picture(steps.current), flatPicture(128, 128, 250));
    EXPECT_EQ(steps.history.picture(previousSlot(previousSlot(steps.current))),
              flatPicture(128, 128, 160));
    EXPECT_TRUE(steps.history.picture(3).isNull());
}
