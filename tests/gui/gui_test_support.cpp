#include "tests/gui/gui_test_support.h"

#include <QLabel>
#include <QTest>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "app/startup.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

void ensureWindowsShown() {
    static bool created = false;
    if (!created) {
        created = true;
        createWindows();
        Form1->show();
        (void)QTest::qWaitForWindowExposed(Form1);
    }
}

void loadTestPicture(const QImage& picture) {
    ensureWindowsShown();
    Form1->Label1->setText("100%");
    Work_area->setPicture(picture);
    Work_area->fitPictureToZoom();
    Form1->RenewPicture = picture;
    Form1->RestartHistory(true);
}

QImage patternPicture(int width, int height) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uchar>(x * 7 + y * 3);
            row[3 * x + 1] = static_cast<uchar>(x * 3 + y * 11);
            row[3 * x + 2] = static_cast<uchar>((x ^ y) * 5);
        }
    }
    return image;
}

void pressOn(PictureControl* control, Qt::MouseButton button, QPoint at) {
    QTest::mousePress(control, button, Qt::NoModifier, at);
}

void releaseOn(PictureControl* control, Qt::MouseButton button, QPoint at) {
    QTest::mouseRelease(control, button, Qt::NoModifier, at);
}

void moveOn(PictureControl* control, Qt::MouseButtons /*buttons*/, QPoint at) {
    QTest::mouseMove(control, at);
}
