#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> instance;
    return instance;
}

std::function<void()>& beforeBox() {
    static std::function<void()> instance;
    return instance;
}

// A box shows after what the press set going has ended; a failure there must not keep the
// box away, so it is swallowed.
void endHeldInput() {
    if (beforeBox()) {
        try {
            beforeBox()();
        } catch (...) {
        }
    }
}

}  // namespace

void showErrorBox(const QString& text) {
    endHeldInput();
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}

void showCaptionedBox(const QString& caption, const QString& text) {
    endHeldInput();
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), caption, text);
}

void showPlainMessage(const QString& text) {
    endHeldInput();
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

void setBeforeBoxHook(std::function<void()> hook) {
    beforeBox() = std::move(hook);
}
