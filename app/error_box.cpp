#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> instance;
    return instance;
}

}  // namespace

void showErrorBox(const QString& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}

void showCaptionedBox(const QString& caption, const QString& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), caption, text);
}

void showPlainMessage(const QString& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void setErrorBoxSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}
