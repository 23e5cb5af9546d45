// A face drawn as thin lines through its landmarks: jaw, brows, nose, eyes and mouth.
#pragma once

#include <QPolygonF>
#include <vector>

#include "face/face_landmarks.h"

namespace face {

struct OutlinePart {
    QPolygonF points;
    bool closed = false;  // eyes and lips close on themselves
};

std::vector<OutlinePart> outlineOf(const Landmarks& points);

}  // namespace face
