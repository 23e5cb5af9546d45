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

// The inverse map of one or more face moves over a picture of the given size: a thin-plate
// spline from the targets to the landmarks' places, pinned on each moving face's ring (1.6
// times the extent of its box and points, before and after) and on the picture's border inside
// it, faded out towards the ring and zero beyond. Faces whose rings overlap share a spline. A
// face that does not move is pinned where it is; one with non-finite points is ignored. The map
// is sampled on a grid (step from 2 to 32 pixels, growing with the root of the smallest moving
// face's size), whose nodes around each target are then nudged so that the interpolated map
// reads each target's source; between nodes it is bilinear.
class FaceWarp {
public:
    FaceWarp(QSize pictureSize, const std::vector<FaceMove>& moves);

    // Whether the map folds anywhere: the Jacobian is not positive at some cell corner (on a
    // bilinear cell that is the same as anywhere in it).
    bool folds() const;
    // The region outside which every pixel stays as it is (empty for the identity).
    QRect touchedRegion() const;
    // Where the output point (x, y) reads in the unchanged picture; (x, y) itself, exactly,
    // outside the rings.
    QPointF sourceOf(double x, double y) const;

    // The whole warped picture (Format_BGR888): each pixel whose source is another place is
    // the program's bilinear sample there (effects::sampleBilinear), the others are copied.
    // The picture itself when nothing moves.
    QImage apply(const QImage& picture) const;
    // A live preview of the part of the picture shown at `zoomPercent` in the rectangle
    // `view` (in the shown picture's pixels): view pixel (c, r) shows the picture point
    // p = ((view.x() + c) * 100 / zoomPercent, (view.y() + r) * 100 / zoomPercent), sampled
    // at sourceOf(p) where the map moves it and otherwise the picture's pixel under p.
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

// The moves with every target taken `fraction` of the way from its original place (1 keeps
// them, 0 is the identity).
std::vector<FaceMove> scaledMoves(const std::vector<FaceMove>& moves, double fraction);

// Scales the moves down (targets towards the originals) until the warp no longer folds, and
// returns the factor kept (1 when nothing had to be limited; found by bisection to 1/4096).
double limitToNoFold(QSize pictureSize, std::vector<FaceMove>& moves);
// The same, giving the warp of the limited moves too (built once, not again after the limit).
FaceWarp limitedWarp(QSize pictureSize, std::vector<FaceMove>& moves, double* kept = nullptr);

}  // namespace face
