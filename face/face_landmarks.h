// A face found in a picture: its box and the 68 landmarks of the common annotation scheme
// (jaw 0-16, brows 17-26, nose 27-35, eyes 36-47, mouth 48-67), in picture pixels.
#pragma once

#include <QPointF>
#include <QRectF>
#include <array>

namespace face {

constexpr int kLandmarkCount = 68;
using Landmarks = std::array<QPointF, kLandmarkCount>;

struct FoundFace {
    QRectF box;
    Landmarks points;
};

}  // namespace face
