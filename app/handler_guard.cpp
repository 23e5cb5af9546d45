#include "app/handler_guard.h"

#include <QApplication>
#include <QMessageBox>

#include "app/error_box.h"

void showHandlerError(const char* what) {
    showErrorBox(QString::fromUtf8(what));
}
