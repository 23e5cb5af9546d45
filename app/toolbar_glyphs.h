// The 24 x 20 glyphs of the main tool bar, drawn once at start-up.
#pragma once

#include <QIcon>

enum class ToolbarGlyph {
    Open,
    Save,
    Undo,
    Redo,
    Renew,
    ZoomOut,
    ZoomIn,
    Select,
    Cut,
    Print,
    Mail,
    Online
};

QIcon toolbarGlyph(ToolbarGlyph glyph);
