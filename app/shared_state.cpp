#include "app/shared_state.h"

#include <QLabel>
#include <algorithm>
#include <cmath>
#include <exception>

#include "app/main_window.h"
#include "formats/file_bytes.h"
#include "formats/jpeg_codec.h"

int32_t screenToPicture(int32_t screen) {
    const long double value = static_cast<long double>(screen) / ZoomPercent * 100.0L;
    return static_cast<int32_t>(std::nearbyint(value));
}

void refreshZoomPercent() {
    if (Form1 == nullptr || Form1->Label1 == nullptr) {
        return;
    }
    QString text = Form1->Label1->text();
    text.chop(1);  // the trailing "%"
    bool ok = false;
    const int percent = text.toInt(&ok);
    if (ok && percent > 0) {
        ZoomPercent = percent;
    }
}

ZoneRect zoneInPicture(const ZoneRect& zone, int width, int height) {
    return {std::max(zone.left, 1), std::max(zone.top, 1), std::min(zone.right, width),
            std::min(zone.bottom, height)};
}

bool zoneHasPixels(const ZoneRect& zone) {
    return zone.left <= zone.right && zone.top <= zone.bottom;
}

QString frameFilePath(int32_t frame) {
    return RecorderFolder + PictureBaseName + QString::number(frame) + ".jpg";
}

QImage recordedFrame(int32_t frame) {
    QImage picture = Form1->HistorySlots.picture(frame);
    if (!picture.isNull()) {
        return picture;
    }
    try {
        return formats::decodeJpeg(formats::readPictureBytes(frameFilePath(frame)));
    } catch (const std::exception&) {
        return {};  // a missing or damaged frame file: the caller goes without that frame
    }
}
