#include "app/image_size_dialog.h"

TImage_Size::TImage_Size(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setWindowTitle("Image Size");
}
