// The 24 x 20 glyphs of the tool palette's buttons, painted once when the
// palette is built.
#pragma once

#include <QIcon>

enum class ToolGlyph {
    Expand,
    Shrink,
    TwirlClockwise,
    TwirlAnticlockwise,
    Smudge,
    Beeline,
    Pen,
    Text,
    StartRecord,
    StopRecord,
    PlayRecord,
    ExportRecord,
};

inline constexpr int kToolGlyphWidth = 24;
inline constexpr int kToolGlyphHeight = 20;

// The glyph as an icon. The recorder glyphs also carry their own disabled look,
// a flat grey version, so a disabled recorder button reads as such on any style.
QIcon toolGlyph(ToolGlyph glyph);
