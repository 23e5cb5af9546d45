// The animated GIF of the recorder: the recorded frames as one endlessly looping animation.
#pragma once

#include <QByteArray>
#include <QImage>
#include <functional>
#include <vector>

namespace formats {

// Encodes `frames` (Format_BGR888, sizes may differ) as a GIF89a animation that loops forever.
// The logical screen is as wide as the widest frame and as tall as the tallest; every frame is
// placed at (0, 0) with its own size, waits `delayCentiseconds` and is then cleared to the
// background, so a smaller frame shows nothing of a larger one before it.
//
// Each frame has its own colour table of at most 256 colours: a frame with that few distinct
// colours keeps them exactly; any other gets a median cut of its own colours, every pixel
// taking the nearest of them, without dithering.
//
// Throws std::invalid_argument for no frames, a frame of another format (a null frame
// included) or a delay outside 0..65535, and FormatError for a frame wider or taller than
// GIF's 65535 pixels.
QByteArray encodeGifAnimation(const std::vector<QImage>& frames, int delayCentiseconds);

// The same for frames fetched one at a time, frameAt(0) to frameAt(frameCount - 1), so that
// only one frame is held at once: a long record of a large photograph need not fit in memory.
// Whatever frameAt throws passes through.
using GifFrameSource = std::function<QImage(int index)>;
QByteArray encodeGifAnimation(int frameCount, const GifFrameSource& frameAt, int delayCentiseconds);

}  // namespace formats
