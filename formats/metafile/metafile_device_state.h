// The drawing state that WMF and EMF records change: mapping, selected objects, colours, modes
// and clipping. Saving and restoring a state copies all of it.
#pragma once

#include <QPointF>
#include <QRegion>
#include <QRgb>
#include <QTransform>
#include <optional>

#include "formats/metafile/metafile_objects.h"

namespace formats::metafile {

enum MapMode : int {
    kMapText = 1,
    kMapLoMetric = 2,
    kMapHiMetric = 3,
    kMapLoEnglish = 4,
    kMapHiEnglish = 5,
    kMapTwips = 6,
    kMapIsotropic = 7,
    kMapAnisotropic = 8,
};

// Text alignment bits.
constexpr uint32_t kAlignUpdateCp = 1;
constexpr uint32_t kAlignRight = 2;
constexpr uint32_t kAlignCenter = 6;
constexpr uint32_t kAlignBottom = 8;
constexpr uint32_t kAlignBaseline = 24;

// ExtTextOut options.
constexpr uint32_t kTextOpaque = 2;
constexpr uint32_t kTextClipped = 4;

enum class ArcKind { Arc, Chord, Pie };

// Mix modes of pens and brushes: 1 black, 6 not, 7 xor pen, 11 nop, 13 copy pen, 16 white and
// the other binary raster operations between them.
constexpr int kMixNot = 6;
constexpr int kMixCopyPen = 13;

struct DeviceState {
    int mapMode = kMapText;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QPointF viewportExt{1, 1};
    QTransform world;  // EMF's world transform; identity in WMF
    PenSpec pen;
    BrushSpec brush;
    FontSpec font;
    QRgb textColour = qRgb(0, 0, 0);
    QRgb backgroundColour = qRgb(255, 255, 255);
    bool opaqueBackground = true;
    uint32_t textAlign = 0;
    bool winding = false;
    bool clockwiseArcs = false;
    int mix = kMixCopyPen;
    QPointF position{0, 0};
    std::optional<QRegion> clip;  // in picture pixels
};

}  // namespace formats::metafile
