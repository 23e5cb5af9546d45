#include "face/face_change.h"

namespace face {

FaceWarp faceWarp(QSize pictureSize, const std::vector<FoundFace>& faces,
                  const FaceSettings& settings, double* limitedTo) {
    std::vector<FaceMove> moves;
    moves.reserve(faces.size());
    for (const FoundFace& found : faces) {
        moves.push_back(faceMove(found, settings));
    }
    const double kept = limitToNoFold(pictureSize, moves);
    if (limitedTo != nullptr) {
        *limitedTo = kept;
    }
    return FaceWarp(pictureSize, moves);
}

FaceChange changeFaces(const QImage& picture, const std::vector<FoundFace>& faces,
                       const FaceSettings& settings) {
    if (settings.isIdentity() || faces.empty()) {
        return {picture, 1};
    }
    FaceChange change;
    const FaceWarp warp = faceWarp(picture.size(), faces, settings, &change.limitedTo);
    change.picture = warp.apply(picture);
    return change;
}

}  // namespace face
