// The warp brushes as operations on a displacement field. The brushes and their parameters are
// declared once, with names, command-line words and ranges; the Warp page binds its widgets to
// these tables and mugwarp-batch its words.
#pragma once

#include <QPointF>
#include <QRect>
#include <array>
#include <string_view>

#include "warp/displacement_field.h"

namespace warp {

enum class Brush {
    Push,                // the picture follows the drag
    Bloat,               // swells from the brush's centre, more while held
    Pucker,              // shrinks towards it
    TwirlClockwise,      // turns about it
    TwirlAnticlockwise,  //
    Reconstruct,         // eases the field back towards zero
    Smooth,              // relaxes the field towards its neighbourhood's mean
    Freeze,              // paints the mask the other brushes leave alone
    Thaw,                // takes it away
};
constexpr int kBrushCount = 9;

struct BrushInfo {
    Brush id;
    std::string_view label;  // on the page: "Twirl clockwise"
    std::string_view word;   // in stroke files: "twirl-cw"
};
const std::array<BrushInfo, kBrushCount>& brushTable();
const BrushInfo* findBrush(std::string_view word);

enum class BrushParameter { Size, Strength, Hardness, Amount };
struct BrushParameterInfo {
    BrushParameter id;
    std::string_view label;
    int minimum;
    int maximum;
    int initial;
    std::string_view unit;
};
// Size is the radius in picture pixels; Strength and Hardness 0 ... 100; Amount 0 ... 200 % of
// the whole field.
const std::array<BrushParameterInfo, 4>& brushParameterTable();
const BrushParameterInfo& brushParameter(BrushParameter id);

// One dab. A push moves the picture from `from` to `at`; the other brushes act at `at`.
struct Dab {
    Brush brush = Brush::Push;
    QPointF at;
    QPointF from;
    double radius = 100;   // picture pixels
    double strength = 50;  // 0 ... 100
    double hardness = 50;  // 0 ... 100
};

// How much the brush acts at `distance` from its centre: 1 within hardness/100 of the radius,
// then falling smoothly to 0 at the radius (at hardness 100, 1 over the whole disc).
double brushWeight(double distance, double radius, double hardness);

// Applies the dab to the field and returns the picture pixels whose offsets it may have
// changed (empty when it changed none). A dab outside the picture changes nothing.
QRect applyDab(DisplacementField& field, const Dab& dab);

}  // namespace warp
