// Signs written into the picture: straight lines and pen strokes drawn with the
// sign pen, and the ink of a rendered text stamped in. Pure functions over a
// Format_BGR888 picture; nothing is antialiased, so every pixel a sign sets
// carries the sign colour exactly.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>

namespace effects {

// The pen of the sign tools. A pen 1 pixel wide (or less) is dashed: 18 pixels
// drawn, 6 left out, counted along the line walk. Wider pens are solid, with
// round ends, so the segments of a stroke meet in round joins.
struct SignPen {
    uint32_t colour = 0;  // colour value, red in the low byte
    int width = 1;
};

// Where the dash pattern of a 1-pixel pen stands: the number of pixels walked so
// far, modulo the 24-pixel period. A stroke keeps one running through all its
// segments so that its dashes do not restart at every mouse move.
struct DashPhase {
    int walked = 0;
};

// Draws the segment from `from` to `to` (picture pixels) with `pen`.
// - 1-pixel pen: the pixels of the line walk (platform::LineDDA) from `from` up
//   to, not including, `to`; the ones the dash pattern draws are set. A zero-length segment sets
//   nothing. `dash` advances by the number of pixels walked.
// - Wider pens: every pixel whose centre lies within width / 2 of the segment.
//   The segment runs between pixel centres for odd widths and between the pixels'
//   top-left corners for even widths, so a horizontal line of width w covers
//   exactly w rows. A zero-length segment sets a round dot. `dash` is unchanged.
// Points may lie anywhere, also far outside the picture: only pixels inside it
// are written. Returns the part of the picture that was written (empty when
// nothing was). Throws std::invalid_argument for a picture in another format.
QRect drawSignSegment(QImage& picture, QPoint from, QPoint to, const SignPen& pen, DashPhase& dash);

// A straight line: one segment with a fresh dash pattern.
QRect drawSignLine(QImage& picture, QPoint from, QPoint to, const SignPen& pen);

// Copies into `picture` every pixel of `ink` whose colour equals `colour`
// exactly, ink pixel (c, r) going to picture pixel (at.x + c, at.y + r); pixels
// that would fall outside the picture are left out. `ink` may be in any format;
// its pixels are compared as 24-bit colours, as QImage::pixel gives them with the
// alpha dropped (still premultiplied for a premultiplied format, where a fully
// transparent pixel reads as black: render the ink opaque). Returns the part of
// the picture that was written.
QRect stampTextInk(QImage& picture, const QImage& ink, QPoint at, uint32_t colour);

}  // namespace effects
