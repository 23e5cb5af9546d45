#include "face/face_shape.h"

#include <cmath>

namespace face {

const Landmarks& averageFace() {
    static const Landmarks kAverage{{
#include "face/average_face_data.inc"
    }};
    return kAverage;
}

Similarity Similarity::inverse() const {
    // [a -b; b a] is s·R; its inverse is R^T / s, i.e. (a, -b) / s².
    const double squared = a * a + b * b;
    Similarity back;
    back.a = a / squared;
    back.b = -b / squared;
    back.tx = -(back.a * tx - back.b * ty);
    back.ty = -(back.b * tx + back.a * ty);
    return back;
}

double Similarity::scale() const {
    return std::hypot(a, b);
}

Similarity alignShapes(const Landmarks& from, const Landmarks& to) {
    // Centre both shapes; then a and b minimising sum |(a -b; b a) p - q|² over the centred
    // pairs are the projections of q onto p and onto p turned a quarter.
    QPointF fromMean, toMean;
    for (int i = 0; i < kLandmarkCount; ++i) {
        fromMean += from[i];
        toMean += to[i];
    }
    fromMean /= kLandmarkCount;
    toMean /= kLandmarkCount;
    double dot = 0, cross = 0, norm = 0;
    for (int i = 0; i < kLandmarkCount; ++i) {
        const QPointF p = from[i] - fromMean;
        const QPointF q = to[i] - toMean;
        dot += p.x() * q.x() + p.y() * q.y();
        cross += p.x() * q.y() - p.y() * q.x();
        norm += p.x() * p.x() + p.y() * p.y();
    }
    Similarity s;
    if (norm > 0) {
        s.a = dot / norm;
        s.b = cross / norm;
    }
    // A shape shrunk to one point has no scale or turn: only the translation is kept.
    if (s.a == 0 && s.b == 0) {
        s.a = 1;
    }
    s.tx = toMean.x() - (s.a * fromMean.x() - s.b * fromMean.y());
    s.ty = toMean.y() - (s.b * fromMean.x() + s.a * fromMean.y());
    return s;
}

}  // namespace face
