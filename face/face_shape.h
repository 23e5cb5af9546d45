// The average face and the similarity that aligns a face to it.
#pragma once

#include <QPointF>

#include "face/face_landmarks.h"

namespace face {

// The average 68-point shape, in the model's own unit frame (see average_face_data.inc for
// where it comes from).
const Landmarks& averageFace();

// A similarity: scale and rotation (a, b as in [a -b; b a]) then translation.
struct Similarity {
    double a = 1, b = 0;
    double tx = 0, ty = 0;
    QPointF map(QPointF p) const {
        return {a * p.x() - b * p.y() + tx, b * p.x() + a * p.y() + ty};
    }
    Similarity inverse() const;
    double scale() const;
};

// The least-squares similarity (Procrustes: scale, rotation, translation) taking `from` onto
// `to`.
Similarity alignShapes(const Landmarks& from, const Landmarks& to);

}  // namespace face
