// Readers of Windows metafiles: the 16-bit WMF (placeable, or plain) and the enhanced EMF. Both
// play the metafile's drawing records with QPainter onto a white Format_BGR888 picture of the
// metafile's own size. A record that cannot be used (unknown, too short for its parameters, a
// damaged bitmap, an object outside the table) is skipped and the rest drawn. A damaged header,
// a file cut short (a record running past its end before the end-of-file record) or a file of
// which nothing could be drawn is refused with a FormatError and a one-line message.
//
// Text records need fonts, which Qt provides only while a QGuiApplication exists: with one the
// text is drawn, without one a metafile that draws text is refused with a FormatError.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// The picture size of a placeable WMF is its bounding box converted from its units per inch to
// 96 pixels per inch. A plain WMF carries no units: its size is the window extent that its
// records set, taken in hundredths of a millimetre (what office producers write) unless the
// metafile sets a map mode with fixed units.
QImage readWindowsMetafile(const QByteArray& data);

// The picture size of an EMF is its frame (hundredths of a millimetre) at 96 pixels per inch;
// the frame is mapped onto the whole picture.
QImage readEnhancedMetafile(const QByteArray& data);

}  // namespace formats
