// Work on a picture's rows in bands, spread over the machine's cores.
#pragma once

#include <functional>

namespace formats {

// Rows per band: enough to keep a thread busy, few enough to share out evenly, and small
// enough that a band of a large photograph stays in the cache between two passes over it.
constexpr int kRowsPerBand = 64;

// Calls work(first, last) for the bands [0, 64), [64, 128), ... of `height` rows, on as many
// threads as the machine has cores (the calling thread among them), and returns when all are
// done. Bands run in any order and at the same time, so work must touch only its own rows.
void forEachRowBand(int height, const std::function<void(int first, int last)>& work);

// The same over [0, count) in bands of `bandSize` (at least 1).
void forEachBand(int count, int bandSize, const std::function<void(int first, int last)>& work);

}  // namespace formats
