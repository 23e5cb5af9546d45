// What the user can change about a face: the caricature amount and sixteen feature sliders.
// Each parameter is declared once, with its name, word for the command line and range; the
// page binds its widgets to this table and mugwarp-batch its words.
#pragma once

#include <array>
#include <string_view>

#include "face/face_landmarks.h"

namespace face {

enum class Adjustment {
    Caricature,  // -100 ... 300 %: away from (or towards) the average face
    EyeSize,
    EyeHeight,
    EyeWidth,
    EyeTilt,
    EyeDistance,
    NoseHeight,
    NoseWidth,
    Smile,
    UpperLip,
    LowerLip,
    MouthWidth,
    MouthHeight,
    Forehead,
    ChinHeight,
    Jawline,
    FaceWidth,
};
constexpr int kAdjustmentCount = 17;

struct AdjustmentInfo {
    Adjustment id;
    std::string_view label;  // on the page: "Eye size"
    std::string_view word;   // for mugwarp-batch: "eye-size"
    int minimum;
    int maximum;
};

const std::array<AdjustmentInfo, kAdjustmentCount>& adjustmentTable();
const AdjustmentInfo* findAdjustment(std::string_view word);

// The values of every adjustment (0 leaves the face as it is). The five eye sliders (EyeSize
// to EyeDistance) move both eyes alike; with eyesApart, `values` moves the eye on the
// picture's left (landmarks 36-41) and `secondEye` the other one (42-47).
struct FaceSettings {
    std::array<int, kAdjustmentCount> values{};
    bool eyesApart = false;
    std::array<int, 5> secondEye{};

    int& operator[](Adjustment a) { return values[static_cast<size_t>(a)]; }
    int operator[](Adjustment a) const { return values[static_cast<size_t>(a)]; }
    bool isIdentity() const;
};

// Where the landmarks of `face` should go under `settings`: the caricature in the frame
// aligned to the average face, then each slider moving its group by an amount proportional to
// the face's size, mapped back to picture pixels. All zero gives the landmarks exactly.
Landmarks targetLandmarks(const FoundFace& face, const FaceSettings& settings);

}  // namespace face
