// The text sign: a text box floating over the picture that can be typed into, moved by its
// top-left corner, resized by its bottom-right corner and given another font with the right
// button; a double click writes its text into the picture at the size it shows on screen.
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "formats/colour_value.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr int kGripSize = 5;    // the move corner, top left
constexpr int kSizerSize = 15;  // the resize corner, bottom right
constexpr int kSmallestSide = 15;
constexpr const char* kInitialText = "Please input text at here";

// Text is drawn without antialiasing: every pixel of a glyph then has the font colour, so
// the whole text can be picked out of the label's pixels.
QFont solidFont(QFont font) {
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

bool inMoveCorner(int X, int Y) {
    return X < kGripSize && Y < kGripSize;
}

// Hands the mouse events of the text box and of its text area to the picture window. The
// window's own filter already sees every event of the application for the wheel, so the box
// gets a filter of its own.
class MemoMouseFilter : public QObject {
public:
    explicit MemoMouseFilter(TWork_area* owner) : QObject(owner), owner_(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        bool used = false;
        guarded([&] { used = owner_->memoEvent(static_cast<QWidget*>(watched), event); });
        return used;
    }

private:
    TWork_area* owner_;
};

}  // namespace

void TWork_area::createTextSign() {
    QWidget* client = ScrollBox->viewport();
    Memo1 = new QPlainTextEdit(client);
    Memo1->hide();
    Memo1->setGeometry(168, 248, 225, 73);
    QFont font = Memo1->font();
    if (QFontDatabase::hasFamily("MS Sans Serif")) {
        font.setFamily("MS Sans Serif");
    }
    font.setPixelSize(21);
    Memo1->setFont(solidFont(font));
    QPalette text = Memo1->palette();
    text.setColor(QPalette::Text, Qt::red);
    Memo1->setPalette(text);
    Memo1->setPlainText("Please type text at here");
    Memo1->setToolTip("Double click to affirm, and right-click to edit font");
    // Lines break where the user breaks them, as the written text will.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The right button chooses the font instead of opening the edit menu.
    Memo1->setContextMenuPolicy(Qt::NoContextMenu);
    Memo1->setMouseTracking(true);
    Memo1->viewport()->setMouseTracking(true);
    auto* filter = new MemoMouseFilter(this);
    Memo1->installEventFilter(filter);
    Memo1->viewport()->installEventFilter(filter);

    Label1 = new QLabel(client);
    Label1->hide();
    Label1->setAutoFillBackground(true);
    Label1->setContentsMargins(0, 0, 0, 0);
    Label1->setMargin(0);

    chooseFont = [this](const QFont& initial) -> std::optional<QFont> {
        bool confirmed = false;
        const QFont chosen = QFontDialog::getFont(&confirmed, initial, this);
        if (!confirmed) {
            return std::nullopt;
        }
        return chosen;
    };
}

QColor TWork_area::memoFontColour() const {
    return Memo1->palette().color(QPalette::Text);
}

void TWork_area::showTextBox(QPoint at) {
    Memo1->move(at);
    Memo1->setPlainText(kInitialText);
    Memo1->show();
    Memo1->raise();
    Memo1->setFocus();
    Label1->setText(QString());
    Label1->move(at);
}

// The box and the label sit in the window's client area; like every control on a scrolled
// window they move with the picture.
void TWork_area::followScroll() {
    const QPoint now(ScrollBox->horizontalScrollBar()->value(),
                     ScrollBox->verticalScrollBar()->value());
    const QPoint shift = scrollOrigin_ - now;
    scrollOrigin_ = now;
    if (!shift.isNull()) {
        Memo1->move(Memo1->pos() + shift);
        Label1->move(Label1->pos() + shift);
    }
}

bool TWork_area::memoEvent(QWidget* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = watched->mapTo(Memo1, mouse->position().toPoint());
    switch (type) {
        case QEvent::MouseButtonPress: {
            Memo1MouseDown(mouse->buttons(), at.x(), at.y());
            // A move or resize is not a text selection; the font choice is no edit either.
            return MemoMoving == 1 || MemoSizing == 1 || mouse->button() == Qt::RightButton;
        }
        case QEvent::MouseMove: {
            const bool dragging = MemoMoving == 1 || MemoSizing == 1;
            Memo1MouseMove(mouse->buttons(), at.x(), at.y());
            return dragging;
        }
        case QEvent::MouseButtonRelease: {
            const bool dragging = MemoMoving == 1 || MemoSizing == 1;
            Memo1MouseUp(mouse->button(), at.x(), at.y());
            return dragging;
        }
        default:
            if (mouse->button() == Qt::LeftButton) {
                Memo1DblClick();
                return true;
            }
            return false;
    }
}

void TWork_area::Memo1MouseDown(Qt::MouseButtons buttons, int X, int Y) {
    if (buttons.testFlag(Qt::RightButton)) {
        if (const std::optional<QFont> chosen = chooseFont(Memo1->font())) {
            Memo1->setFont(solidFont(*chosen));
        }
    }
    if (buttons.testFlag(Qt::LeftButton)) {
        if (inMoveCorner(X, Y)) {
            MemoGrip = {X, Y};
            MemoMoving = 1;
        }
        if (X > Memo1->width() - kSizerSize && Y > Memo1->height() - kSizerSize) {
            MemoGrip = {X, Y};
            MemoSizing = 1;
        }
    }
}

void TWork_area::Memo1MouseMove(Qt::MouseButtons buttons, int X, int Y) {
    Qt::CursorShape shape = Qt::IBeamCursor;  // the text box's own cursor
    if (inMoveCorner(X, Y)) {
        shape = Qt::SizeAllCursor;
    } else if (X > Memo1->width() - kSizerSize && Y > Memo1->height() - kSizerSize) {
        shape = Qt::SizeFDiagCursor;
    }
    Memo1->viewport()->setCursor(shape);
    Memo1->setCursor(shape);
    if (buttons.testFlag(Qt::LeftButton) && MemoMoving == 1) {
        Memo1->move(Memo1->pos() + QPoint(X - MemoGrip.x, Y - MemoGrip.y));
        Label1->move(Memo1->pos());
    }
}

void TWork_area::Memo1MouseUp(Qt::MouseButton button, int X, int Y) {
    MemoMoving = 0;
    if (button == Qt::LeftButton && MemoSizing == 1) {
        Memo1->resize(std::max(kSmallestSide, Memo1->width() + X - MemoGrip.x),
                      std::max(kSmallestSide, Memo1->height() + Y - MemoGrip.y));
    }
    MemoSizing = 0;
}

void TWork_area::Memo1DblClick() {
    const QColor colour = memoFontColour();
    Label1->setFont(solidFont(Memo1->font()));
    QPalette ink = Label1->palette();
    ink.setColor(QPalette::WindowText, colour);
    Label1->setPalette(ink);
    Label1->setText(Memo1->toPlainText());
    Label1->adjustSize();
    Label1->show();
    Memo1->hide();
    Label1->repaint();

    // The label's pixels as they show on screen.
    QImage shown(Label1->size(), QImage::Format_RGB32);
    shown.fill(Label1->palette().color(QPalette::Window));
    Label1->render(&shown);

    refreshZoomPercent();
    const int ox = screenToPicture(Label1->x() - Image1->x());
    const int oy = screenToPicture(Label1->y() - Image1->y());
    if (Image1->hasPicture()) {
        const QRect changed =
            effects::stampTextInk(Image1->editablePicture(), shown, {ox, oy},
                                  colour::make(colour.red(), colour.green(), colour.blue()));
        showPictureChange(changed);
    }
    Label1->hide();
    Form1->backup();
    MouseOverPicture = 1;
}
