// The warp that moves a face's landmarks onto their targets: a smooth inverse map (for each
// output pixel, where to read in the unchanged picture), pinned on a ring around the face and on
// the picture's border, evaluated on a coarse grid and interpolated, then one resample through
// the program's bilinear sampler. Nothing outside the ring moves, bit for bit.
#pragma once

#include <QImage>
#include <QRect>
#include <utility>
#include <vector>

#include "face/face_adjustments.h"
#include "face/face_landmarks.h"

namespace face {

// One face's part of a warp: its landmarks now and where they should go, and further points
// (from, to) that move with them.
struct FaceMove {
    QRectF box;
    Landmarks from;
    Landmarks to;
    std::vector<std::pair<QPointF, QPointF>> extra;
};

// One face's move under the settings: its landmarks and their targetLandmarks(), and any
// further point pairs the adjustments need (the forehead has no landmarks of its own).
FaceMove faceMove(const FoundFace& face, const FaceSettings& settings);

// The inverse map of one or more face moves over a picture of the given size.
class FaceWarp {
public:
    FaceWarp(QSize pictureSize, const std::vector<FaceMove>& moves);

    // Whether the map folds anywhere (its Jacobian is not positive on the grid).
    bool folds() const;
    // The region outside which every pixel stays as it is.
    QRect touchedRegion() const;
    // Where the output pixel (x, y) reads in the unchanged picture.
    QPointF sourceOf(double x, double y) const;

    // The whole warped picture (Format_BGR888), resampled once from `picture`.
    QImage apply(const QImage& picture) const;
    // Only the part of the view: the rectangle `view` of the picture shown at `zoomPercent`,
    // rendered at the view's resolution, for a live preview.
    QImage preview(const QImage& picture, const QRect& view, double zoomPercent) const;

private:
    QSize size_;
    QRect region_;
    int step_ = 8;                // grid spacing in picture pixels, a power of two
    int shift_ = 3;               // its logarithm
    QPoint origin_;               // the first node, on multiples of step_
    int columns_ = 0, rows_ = 0;  // grid nodes over region_
    std::vector<QPointF> grid_;   // displacement (source minus output position) at each node
};

// Scales the moves down (targets towards the originals) until the warp no longer folds, and
// returns the factor kept (1 when nothing had to be limited).
double limitToNoFold(QSize pictureSize, std::vector<FaceMove>& moves);

}  // namespace face
