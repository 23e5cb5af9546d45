#include "app/print_placement.h"

QRect printPlacement(QSize picture, QSize page) {
    long long w = picture.width();
    long long h = picture.height();
    const long long halfWidth = page.width() / 2;
    const long long halfHeight = page.height() / 2;
    // An empty picture would double for ever.
    while (w > 0 && h > 0 && h < halfHeight && w < halfWidth) {
        w *= 2;
        h *= 2;
    }
    const long long left = (page.width() - w) / 2;
    const long long top = (page.height() - h) / 2;
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(w),
                 static_cast<int>(h));
}
