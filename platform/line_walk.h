// The line walk behind the selection outline: visits every pixel of a segment
// from its start point up to, but not including, its end point, so that
// consecutive edges of a rectangle meet without drawing a corner twice.
#pragma once

#include <functional>

namespace platform {

// Calls `visit(x, y)` for each pixel from (x1, y1) towards (x2, y2), one step
// along the longer axis at a time; a zero-length segment visits nothing.
void LineDDA(int x1, int y1, int x2, int y2, const std::function<void(int x, int y)>& visit);

}  // namespace platform
