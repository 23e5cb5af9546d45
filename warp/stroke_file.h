// Stroke files of mugwarp-batch: one dab a line, `TOOL X Y RADIUS STRENGTH [HARDNESS]`, TOOL a
// brush word of brushTable(), STRENGTH and HARDNESS 0 ... 100 (HARDNESS 50 when left out).
// Empty lines and lines starting with # are skipped. A push dab pushes from the point of the
// line before it when that line is a push too; otherwise it only sets where the push starts.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "warp/warp_brush.h"

namespace warp {

// A line that is not a dab: its number (from 1) and what is wrong with it.
class StrokeFileError : public std::runtime_error {
public:
    StrokeFileError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}
    int line() const { return line_; }

private:
    int line_;
};

// The most dabs a file may hold, and the largest radius.
constexpr size_t kMostDabs = 1'000'000;
constexpr double kLargestRadius = 30000;

std::vector<Dab> parseStrokeFile(std::string_view text);

// The dabs of a straight push from (x1, y1) to (x2, y2): one every tenth of the radius.
std::vector<Dab> straightPush(QPointF from, QPointF to, double radius, double strength,
                              double hardness = 50);

}  // namespace warp
