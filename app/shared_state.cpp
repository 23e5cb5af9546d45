#include "app/shared_state.h"

#include <QLabel>
#include <cmath>

#include "app/main_window.h"

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
