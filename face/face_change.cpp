#include "face/face_change.h"

namespace face {

namespace {

std::vector<FaceMove> movesOf(const std::vector<FoundFace>& faces, const FaceSettings& settings) {
    std::vector<FaceMove> moves;
    moves.reserve(faces.size());
    for (const FoundFace& found : faces) {
        moves.push_back(faceMove(found, settings));
    }
    return moves;
}

}  // namespace

FaceWarp faceWarp(QSize pictureSize, const std::vector<FoundFace>& faces,
                  const FaceSettings& settings, double* limitedTo, double fraction) {
    std::vector<FaceMove> moves = movesOf(faces, settings);
    double kept = 1;
    FaceWarp limited = limitedWarp(pictureSize, moves, &kept);
    if (limitedTo != nullptr) {
        *limitedTo = kept;
    }
    if (fraction == 1) {
        return limited;
    }
    return FaceWarp(pictureSize, scaledMoves(moves, fraction));
}

FaceChange changeFaces(const QImage& picture, const std::vector<FoundFace>& faces,
                       const FaceSettings& settings, double fraction) {
    if (settings.isIdentity() || faces.empty() || fraction == 0) {
        return {picture, 1};
    }
    FaceChange change;
    const FaceWarp warp = faceWarp(picture.size(), faces, settings, &change.limitedTo, fraction);
    change.picture = warp.apply(picture);
    return change;
}

std::vector<FoundFace> changedFaces(const std::vector<FoundFace>& faces,
                                    const FaceSettings& settings, double limitedTo) {
    std::vector<FoundFace> result = faces;
    for (FoundFace& found : result) {
        const Landmarks to = targetLandmarks(found, settings);
        for (int i = 0; i < kLandmarkCount; ++i) {
            found.points[i] += limitedTo * (to[i] - found.points[i]);
        }
    }
    return result;
}

}  // namespace face
