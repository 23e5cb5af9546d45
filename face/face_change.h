// The face-aware change as one operation over a picture: every chosen face's landmarks moved
// to their targets by one warp, limited so that it never folds. The Face page's step, its
// preview and mugwarp-batch all go through here.
#pragma once

#include <QImage>
#include <vector>

#include "face/face_adjustments.h"
#include "face/face_landmarks.h"
#include "face/face_warp.h"

namespace face {

struct FaceChange {
    QImage picture;        // the changed picture (the input itself when nothing moves)
    double limitedTo = 1;  // below 1 when the values had to be scaled down not to fold
};

// The warp of `faces` under `settings`, limited not to fold (see limitedWarp), then taken
// `fraction` of the way (a morph's frame i of n is i/n; 1 is the whole change).
FaceWarp faceWarp(QSize pictureSize, const std::vector<FoundFace>& faces,
                  const FaceSettings& settings, double* limitedTo = nullptr, double fraction = 1);

// The whole picture changed; all values 0 gives the picture bit for bit.
FaceChange changeFaces(const QImage& picture, const std::vector<FoundFace>& faces,
                       const FaceSettings& settings, double fraction = 1);

// The faces as the change leaves them: each landmark at its target, taken `limitedTo` of the
// way as the limited warp takes it. Their boxes stay.
std::vector<FoundFace> changedFaces(const std::vector<FoundFace>& faces,
                                    const FaceSettings& settings, double limitedTo);

}  // namespace face
