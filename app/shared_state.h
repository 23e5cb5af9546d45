// Program-wide editing state shared by the main window, the picture window and
// the tool palette. Everything here is touched only on the user-interface thread.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

class TForm1;
class TWork_area;
class TTools;
class TAbout_us;
class TImage_Size;

// A point in 32-bit integers, as the mouse handlers store them.
struct IntPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const IntPoint&) const = default;
};

// Selected zone: 1-based inclusive columns and rows.
struct ZoneRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const ZoneRect&) const = default;
};

// `zone` cut down to a picture of `width` x `height` pixels.
ZoneRect zoneInPicture(const ZoneRect& zone, int width, int height);
// Whether `zone` holds at least one pixel.
bool zoneHasPixels(const ZoneRect& zone);

// The single window instances, created once at start-up.
inline TForm1* Form1 = nullptr;
inline TWork_area* Work_area = nullptr;
inline TTools* Tools = nullptr;
inline TAbout_us* About_us = nullptr;
inline TImage_Size* Image_Size = nullptr;

// The values of the tool state below, as the palette writes them.
// DistortMode: the tool family.
inline constexpr int32_t kNoDistortion = 0;
inline constexpr int32_t kSpherical = 1;
inline constexpr int32_t kVertical = 2;
inline constexpr int32_t kHorizontal = 3;
// DistortKind: the sub-tool.
inline constexpr int32_t kExpand = 1;
inline constexpr int32_t kShrink = 2;
inline constexpr int32_t kTwirlClockwise = 3;
inline constexpr int32_t kTwirlAnticlockwise = 4;
inline constexpr int32_t kSmudge = 5;
// SignTool.
inline constexpr int32_t kLineTool = 1;
inline constexpr int32_t kPenTool = 2;
inline constexpr int32_t kTextTool = 3;
// The tool palette's pages, in their order on it.
inline constexpr int kDistortPage = 0;
inline constexpr int kTwistPage = 1;
inline constexpr int kSketchPage = 2;
inline constexpr int kSignPage = 3;
inline constexpr int kFacePage = 4;
inline constexpr int kWarpPage = 5;

// Tool and view state.
inline double ZoomPercent = 0.0;      // mirrors Form1->Label1; 100 once the picture window shows
inline int32_t DistortMode = 0;       // 0 none, 1 spherical, 2 vertical, 3 horizontal
inline int32_t DistortKind = 0;       // 1 expand, 2 shrink, 3 and 4 twirls, 5 smudge
inline uint8_t SmudgeMode = 0;        // 1 while the smudge tool is chosen
inline int32_t EffectRadius = 100;    // radius of the last distortion, picture pixels
inline int32_t EffectStrength = 0;    // strength of the last distortion, picture pixels
inline int32_t BrushRadius = 100;     // brush outline radius, screen pixels
inline int32_t SignTool = 0;          // 0 none yet, 1 line, 2 pen, 3 text
inline int32_t PenWidth = 0;          // sign pen thickness, 1..100 once the Sign page opened
inline uint8_t SelectMode = 0;        // 1 while "Select a zone to cut" is on
inline ZoneRect SelectionRect;        // selected zone in picture pixels
inline IntPoint ClickPoint;           // last press on the picture, picture pixels
inline uint8_t ButtonHeld = 0;        // a mouse button is down on the picture
inline IntPoint DragOrigin;           // press point relative to the picture control
inline uint8_t MouseOverPicture = 0;  // gates wheel zoom
inline QImage SketchBitmap;           // edge image kept for the pencil sketch

// History and recorder state.
inline int32_t CurrentFrame = 1;  // slot of the current picture, 1..1001
inline int32_t UndoCount = 0;
inline int32_t RedoCount = 0;
inline uint8_t Recording = 0;
inline int32_t PlayFrame = 0;
inline QString RecorderFolder;   // executable folder + "/recorder/"
inline QString PictureBaseName;  // base name of the frame files

// The frame file of `frame`: RecorderFolder + PictureBaseName + frame + ".jpg".
QString frameFilePath(int32_t frame);
// The picture of frame `frame` of the record: its history slot, or the frame file read
// back where the history let that slot go. Null when neither can give it.
QImage recordedFrame(int32_t frame);

// Picture pixel from a screen coordinate: Rnd(v / ZoomPercent * 100), halves to even,
// evaluated in extended precision with the division first.
int32_t screenToPicture(int32_t screen);
// The zoom label's percentage read back into ZoomPercent.
void refreshZoomPercent();
