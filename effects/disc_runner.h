// Internal to effects/: the machinery the disc effects share in place of the common
// frame's two full picture copies.
//
// Every source read comes from the picture itself, which stays unchanged until the end;
// the results go into a buffer covering only the disc's bounding box clipped to the
// picture, and that box is copied back in one step at the end. The destination pixels
// are independent of each other, so columns or rows are shared out between threads, while
// the progress steps are all made on the calling thread.
#pragma once

#include <QImage>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

#include "effects/progress.h"
#include "effects/raster.h"

namespace effects::detail {

// Rnd: nearest integer, halves to even (the default rounding mode).
inline int64_t roundHalfEven(long double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// The disc effects' common argument checks: throws std::invalid_argument, naming
// `operation`, when strength < 1 or the picture is not in Format_BGR888.
void checkDiscArguments(const QImage& picture, int strength, const char* operation);

// Inclusive picture rectangle; empty when left > right or top > bottom.
struct Box {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
    bool empty() const { return left > right || top > bottom; }
};

// The square of half-side `reach` around (x, y), clipped to a width x height picture.
// 64-bit on the way, as the centre may lie far outside the picture.
Box clippedSquare(int64_t x, int64_t y, int64_t reach, int width, int height);

// The written pixels of one call, initialised from the picture over its box.
class BoxBuffer {
public:
    BoxBuffer(const QImage& picture, const Box& box);
    const Box& box() const { return box_; }
    uchar* row(int pictureRow) { return data_.get() + (pictureRow - box_.top) * stride_; }
    uchar* pixel(int col, int pictureRow) { return row(pictureRow) + 3 * (col - box_.left); }
    // Copies the box into the picture; this is where a shared picture detaches.
    void commit(QImage& picture) const;

private:
    Box box_;
    qsizetype stride_ = 0;
    std::unique_ptr<uchar[]> data_;
};

// The visited rows of one picture column: up to two inclusive ranges (above and below the
// centre), each empty when lo > hi. Rows lie inside the box.
struct ColumnSpan {
    int col = 0;
    int lo[2] = {0, 0};
    int hi[2] = {-1, -1};
    int64_t pixels() const {
        return std::max(0, hi[0] - lo[0] + 1) + std::max(0, hi[1] - lo[1] + 1);
    }
    bool visits(int row) const {
        return (row >= lo[0] && row <= hi[0]) || (row >= lo[1] && row <= hi[1]);
    }
};

// Clamps a 64-bit row range to [first, last] as ints; empty ranges stay empty.
inline void setRange(ColumnSpan& span, int which, int64_t lo, int64_t hi, int first, int last) {
    lo = std::max<int64_t>(lo, first);
    hi = std::min<int64_t>(hi, last);
    if (lo > hi) {
        lo = 1;
        hi = 0;
    }
    span.lo[which] = static_cast<int>(lo);
    span.hi[which] = static_cast<int>(hi);
}

// An inclusive 64-bit range clamped to [first, last] as ints; false when nothing is left.
inline bool clipRange(int64_t lo, int64_t hi, int first, int last, int& outLo, int& outHi) {
    lo = std::max<int64_t>(lo, first);
    hi = std::min<int64_t>(hi, last);
    if (lo > hi) {
        return false;
    }
    outLo = static_cast<int>(lo);
    outHi = static_cast<int>(hi);
    return true;
}

// The columns of a disc's quadrant passes: x − radius + 1 .. x + radius − 1 inside the box,
// centre column excluded, in increasing order. rowsOf(col, span) fills in a column's rows;
// columns left without any are dropped.
template <class RowsOf>
std::vector<ColumnSpan> quadrantColumnSpans(int64_t x, int64_t radius, const Box& box,
                                            const RowsOf& rowsOf) {
    std::vector<ColumnSpan> spans;
    int first;
    int last;
    if (!clipRange(x - radius + 1, x + radius - 1, box.left, box.right, first, last)) {
        return spans;
    }
    spans.reserve(static_cast<size_t>(last - first + 1));
    for (int col = first; col <= last; ++col) {
        if (col == x) {
            continue;
        }
        ColumnSpan span;
        span.col = col;
        rowsOf(col, span);
        if (span.pixels() > 0) {
            spans.push_back(span);
        }
    }
    return spans;
}

// The axis passes' pixels inside the box: visit(col) for row y's columns x − radius + 1 ..
// x + radius − 1, the centre excluded.
template <class Visit>
void forCentreRow(const Box& box, int64_t x, int64_t y, int64_t radius, const Visit& visit) {
    int lo;
    int hi;
    if (y >= box.top && y <= box.bottom &&
        clipRange(x - radius + 1, x + radius - 1, box.left, box.right, lo, hi)) {
        for (int col = lo; col <= hi; ++col) {
            if (col != x) {
                visit(col);
            }
        }
    }
}

// The same for column x: visit(row) for rows y − radius + 1 .. y + radius − 1 but y.
template <class Visit>
void forCentreColumn(const Box& box, int64_t x, int64_t y, int64_t radius, const Visit& visit) {
    int lo;
    int hi;
    if (x >= box.left && x <= box.right &&
        clipRange(y - radius + 1, y + radius - 1, box.top, box.bottom, lo, hi)) {
        for (int row = lo; row <= hi; ++row) {
            if (row != y) {
                visit(row);
            }
        }
    }
}

// Makes exactly `total` progress steps over a call, spread in proportion to the work done.
class ProgressPacer {
public:
    ProgressPacer(Progress& progress, int64_t total)
        : progress_(progress), total_(std::max<int64_t>(total, 0)) {}
    void reach(int64_t done, int64_t all) {
        const int64_t due =
            all > 0 ? static_cast<int64_t>(static_cast<long double>(total_) * done / all) : total_;
        while (emitted_ < std::min(due, total_)) {
            ++emitted_;
            progress_.advance();
        }
    }
    void finish() { reach(1, 1); }

private:
    Progress& progress_;
    int64_t total_;
    int64_t emitted_ = 0;
};

// The frame of one disc step over `box`: passes(source, out) write the changed pixels into a
// buffer over the box, reading the picture, which stays unchanged until the buffer is copied
// back at the end. An empty box changes nothing. Either way all progress steps are made.
template <class Passes>
void runInBox(QImage& picture, const Box& box, ProgressPacer& pacer, const Passes& passes) {
    if (box.empty()) {
        pacer.finish();
        return;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);
    passes(source, out);
    pacer.finish();
    out.commit(picture);
}

// How many threads a pass of `pixels` pixels is worth: thread start-up costs about as much
// as a few thousand bilinear samples.
int threadsFor(int64_t pixels);

// The visited columns of one picture row: one inclusive range, empty when lo > hi.
struct RowSpan {
    int row = 0;
    int lo = 0;
    int hi = -1;
    int64_t pixels() const { return std::max(0, hi - lo + 1); }
};

// Shares `blocks` independent blocks of work between the calling thread and helper threads:
// process(block) computes one block, units(block) tells how many of the `allUnits` progress
// units it stands for. Only the calling thread advances the pacer, between its blocks.
// `pixels` is the whole pass's pixel count, which decides how many threads it is worth.
template <class Process, class Units>
void shareBlocks(size_t blocks, int64_t pixels, int64_t allUnits, const Process& process,
                 const Units& units, ProgressPacer& pacer) {
    std::atomic<size_t> nextBlock{0};
    std::atomic<int64_t> doneUnits{0};
    auto work = [&](std::stop_token stop, auto&& afterBlock) {
        while (!stop.stop_requested()) {
            const size_t block = nextBlock.fetch_add(1, std::memory_order_relaxed);
            if (block >= blocks) {
                break;
            }
            process(block);
            doneUnits.fetch_add(units(block), std::memory_order_relaxed);
            afterBlock();
        }
    };
    std::vector<std::jthread> helpers;
    const int threads = std::min<int64_t>(threadsFor(pixels), static_cast<int64_t>(blocks));
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&](std::stop_token stop) { work(stop, [] {}); });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the others do the work
        }
    }
    // A Progress that throws stops the helpers (the jthreads request a stop and join as the
    // exception leaves) and leaves the picture as it was.
    work(std::stop_token{},
         [&] { pacer.reach(doneUnits.load(std::memory_order_relaxed), allUnits); });
}

// Shares `spans` (columns or rows) out between threads in blocks of `kBlock`:
// process(first, count) handles spans[first .. first + count). One progress unit per span.
template <size_t kBlock, class Span, class Process>
void shareSpanBlocks(const std::vector<Span>& spans, const Process& process, ProgressPacer& pacer) {
    const size_t blocks = (spans.size() + kBlock - 1) / kBlock;
    int64_t pixels = 0;
    for (const Span& span : spans) {
        pixels += span.pixels();
    }
    auto count = [&](size_t block) { return std::min(kBlock, spans.size() - block * kBlock); };
    shareBlocks(
        blocks, pixels, static_cast<int64_t>(spans.size()),
        [&](size_t block) { process(block * kBlock, count(block)); },
        [&](size_t block) { return static_cast<int64_t>(count(block)); }, pacer);
}

// The rows a block of columns visits, from its first to its last (first > last when none),
// with each column's kernel taken into `columns`.
struct RowRange {
    int first = INT32_MAX;
    int last = INT32_MIN;
};
template <class Kernel>
RowRange takeColumns(const std::vector<ColumnSpan>& spans, size_t first, size_t count,
                     const Kernel& kernel, typename Kernel::Column* columns) {
    RowRange rows;
    for (size_t j = 0; j < count; ++j) {
        const ColumnSpan& span = spans[first + j];
        columns[j] = kernel.column(span.col);
        for (int i = 0; i < 2; ++i) {
            if (span.lo[i] <= span.hi[i]) {
                rows.first = std::min(rows.first, span.lo[i]);
                rows.last = std::max(rows.last, span.hi[i]);
            }
        }
    }
    return rows;
}

// Runs kernel.column(col)(row) for every visited pixel of `spans` and stores the colours
// in `out`. The kernel is read concurrently and must not change. Columns are taken in
// blocks, and each block is walked row by row so reads and writes stay close together.
template <class Kernel>
void runColumns(const std::vector<ColumnSpan>& spans, const Kernel& kernel, BoxBuffer& out,
                ProgressPacer& pacer) {
    constexpr size_t kBlock = 16;
    const int left = out.box().left;
    auto processBlock = [&](size_t first, size_t count) {
        typename Kernel::Column columns[kBlock];
        const RowRange rows = takeColumns(spans, first, count, kernel, columns);
        for (int row = rows.first; row <= rows.last; ++row) {
            uchar* dst = out.row(row);
            for (size_t j = 0; j < count; ++j) {
                const ColumnSpan& span = spans[first + j];
                if (span.visits(row)) {
                    storeColour(dst + 3 * (span.col - left), columns[j](row));
                }
            }
        }
    };
    shareSpanBlocks<kBlock>(spans, processBlock, pacer);
}

// Runs kernel.row(row)(col) for every visited pixel of `spans`, row by row, and stores the
// colours in `out`; otherwise as runColumns.
template <class Kernel>
void runRows(const std::vector<RowSpan>& spans, const Kernel& kernel, BoxBuffer& out,
             ProgressPacer& pacer) {
    auto processBlock = [&](size_t first, size_t count) {
        for (size_t j = first; j < first + count; ++j) {
            const RowSpan& span = spans[j];
            const typename Kernel::Row line = kernel.row(span.row);
            uchar* dst = out.pixel(span.lo, span.row);
            for (int col = span.lo; col <= span.hi; ++col, dst += 3) {
                storeColour(dst, line(col));
            }
        }
    };
    shareSpanBlocks<8>(spans, processBlock, pacer);
}

}  // namespace effects::detail
