// Finding faces and their landmarks. The model behind it lives in one source file
// (face_finder_dlib.cpp), so another can replace it; nothing else sees its headers.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "face/face_landmarks.h"

namespace face {

// Where Debian's package puts the 68-point landmark model (unless the environment variable
// MUGWARP_FACE_MODEL names another), and the package's name for messages when it is missing.
QString defaultModelPath();
constexpr const char* kModelPackage = "libdlib-data";

class FaceFinder {
public:
    virtual ~FaceFinder() = default;
    // Every frontal face of the picture (any format), largest first. Detection runs on a
    // copy scaled to about 1200 pixels on its long side; landmarks are fitted at full size.
    virtual std::vector<FoundFace> findFaces(const QImage& picture) const = 0;
    // The landmarks of a face the user boxed where detection found none.
    virtual FoundFace fitInBox(const QImage& picture, const QRectF& box) const = 0;
};

// The finder with the model at modelPath, loaded now (call it off the user-interface thread:
// the model is about 100 MB). Throws std::runtime_error with a message naming the file, and
// kModelPackage when the file is missing.
std::unique_ptr<FaceFinder> loadFaceFinder(const QString& modelPath = defaultModelPath());

// Throws as loadFaceFinder() does unless `bytes` hold a whole 68-point landmark model; starts
// no detector. `shown` names the file in the message.
void checkLandmarkModel(std::string_view bytes, const std::string& shown);

// The program's one finder, loaded on first use (thread-safe). Throws as loadFaceFinder().
const FaceFinder& sharedFaceFinder();

// Shorthand: sharedFaceFinder().findFaces(picture).
std::vector<FoundFace> findFaces(const QImage& picture);

}  // namespace face
