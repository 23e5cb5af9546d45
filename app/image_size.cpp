// The main window's side of the image size dialog: opening it and resampling the picture.
#include <cmath>

#include "app/image_size_dialog.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/picture_resize.h"
#include "formats/picture_limits.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

void TForm1::ImageSize1Click() {
    Image_Size->show();
    Image_Size->raise();
    Image_Size->activateWindow();
}

// The new size is the typed one: the ratios were taken from it, and rounding gives it back
// exactly. The resize is no editing step, so nothing is recorded in the history.
void TForm1::ZoomInOut(PictureControl* image, double horizontal, double vertical) {
    const QImage& picture = image->picture();
    const long long width = static_cast<long long>(std::nearbyint(picture.width() * horizontal));
    const long long height = static_cast<long long>(std::nearbyint(picture.height() * vertical));
    formats::checkPictureSize(width, height, "resized");
    image->setPicture(
        effects::resizePicture(picture, static_cast<int>(width), static_cast<int>(height)));
}
