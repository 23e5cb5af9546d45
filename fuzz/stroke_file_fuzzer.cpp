// Fuzz target: a stroke file of any bytes is read or refused with its line number, and the dabs
// it gives warp a small picture without leaving it or its field (a reconstruction of the
// whole field afterwards gives the picture back bit for bit).
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "warp/stroke_file.h"
#include "warp/warp_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<warp::Dab> dabs;
    try {
        dabs = warp::parseStrokeFile(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const warp::StrokeFileError& error) {
        if (error.line() < 1) {
            __builtin_trap();
        }
        return 0;
    }
    if (dabs.size() > 64) {
        dabs.resize(64);  // enough to meet every brush; the rest would only cost time
    }
    QImage picture(37, 23, QImage::Format_BGR888);
    for (int y = 0; y < picture.height(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < 3 * picture.width(); ++x) {
            row[x] = static_cast<uchar>(x * 7 + y * 13);
        }
    }
    for (warp::Dab& dab : dabs) {
        dab.radius = std::min(dab.radius, 80.0);  // a huge disc over a tiny picture is slow only
    }
    warp::WarpSession session;
    session.follow(picture);
    for (const warp::Dab& dab : dabs) {
        warp::applyDab(session.field(), dab);
    }
    QImage out = picture.copy();
    session.render(out, out.rect());
    warp::applyDab(session.field(), {warp::Brush::Thaw, {18, 11}, {}, 1000, 100, 100});
    warp::applyDab(session.field(), {warp::Brush::Reconstruct, {18, 11}, {}, 1000, 100, 100});
    session.render(out, out.rect());
    if (out != picture) {
        __builtin_trap();
    }
    return 0;
}
