#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> instance;
    return instance;
}

std::function<bool(const QString&)>& questionSink() {
    static std::function<bool(const QString&)> instance;
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

// A box belongs to the active window, or to a shown one when none is active (a picture
// opened from the command line at start), and stays on top as the tool palette does: under
// the palette it could hide its own button.
QWidget* boxParent() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool)) {
            return window;
        }
    }
    return nullptr;
}

void showBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, boxParent());
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

}  // namespace

void showErrorBox(const QString& text) {
    endHeldInput();
    if (sink()) {
        sink()(text);
        return;
    }
    showBox(QMessageBox::Critical, QApplication::applicationName(), text);
}

void showCaptionedBox(const QString& caption, const QString& text) {
    endHeldInput();
    if (sink()) {
        sink()(text);
        return;
    }
    showBox(QMessageBox::Information, caption, text);
}

void showPlainMessage(const QString& text) {
    endHeldInput();
    if (sink()) {
        sink()(text);
        return;
    }
    showBox(QMessageBox::NoIcon, QApplication::applicationName(), text);
}

bool askYesNo(const QString& text) {
    endHeldInput();
    if (questionSink()) {
        return questionSink()(text);
    }
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                    QMessageBox::Yes | QMessageBox::No, boxParent());
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Yes;
}

void setErrorBoxSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}

void setQuestionSink(std::function<bool(const QString&)> newSink) {
    questionSink() = std::move(newSink);
}

void setBeforeBoxHook(std::function<void()> hook) {
    beforeBox() = std::move(hook);
}
