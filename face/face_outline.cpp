#include "face/face_outline.h"

namespace face {

namespace {

struct Part {
    int first;
    int last;
    bool closed;
};

// The groups of the 68-point annotation, each drawn as one line.
constexpr Part kParts[] = {
    {0, 16, false},                    // jaw
    {17, 21, false},                   // brows
    {22, 26, false}, {27, 30, false},  // bridge of the nose
    {31, 35, false},                   // nostrils
    {36, 41, true},                    // eyes
    {42, 47, true},  {48, 59, true},   // outer lips
    {60, 67, true},                    // inner lips
};

}  // namespace

std::vector<OutlinePart> outlineOf(const Landmarks& points) {
    std::vector<OutlinePart> parts;
    for (const Part& part : kParts) {
        OutlinePart line;
        line.closed = part.closed;
        for (int i = part.first; i <= part.last; ++i) {
            line.points << points[i];
        }
        parts.push_back(std::move(line));
    }
    return parts;
}

}  // namespace face
