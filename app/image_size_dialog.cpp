#include "app/image_size_dialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

#include "app/error_box.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr const char* kInvalidValue = "Please input a valid integer value.";

// Nearest integer, halves to the even neighbour.
long long rnd(long double value) {
    return static_cast<long long>(std::nearbyint(value));
}

QLabel* labelAt(QWidget* parent, const char* caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QToolButton* signButtonAt(QWidget* parent, const char* caption, int left) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setGeometry(left, 64, 23, 20);
    QFont font = button->font();
    font.setPixelSize(16);
    button->setFont(font);
    return button;
}

const QImage& currentPicture() {
    return Work_area->picture();
}

// A field scaled by `percent`, as text; a number too large for the field is refused like
// any other text that is no number.
QString scaledField(const QString& text, int percent) {
    return QString::number(
        rnd(static_cast<long double>(TImage_Size::StrToInt(text)) * percent / 100.0L));
}

}  // namespace

TImage_Size::TImage_Size(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle("Image_Size");
    // The small dialog font, so that the captions fit their places.
    QFont font = this->font();
    if (QFontDatabase::hasFamily("MS Sans Serif")) {
        font.setFamily("MS Sans Serif");
    }
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(313, 195);
    move(55, 181);

    Label1 = labelAt(this, "Width:", 16, 28);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(56, 24, 57, 21);
    Label3 = labelAt(this, "Pixels", 120, 28);
    Label2 = labelAt(this, "Height:", 16, 69);
    Edit2 = new QLineEdit(this);
    Edit2->setGeometry(56, 65, 57, 21);
    Label4 = labelAt(this, "Pixels", 120, 69);
    CheckBox1 = new QCheckBox("Hold in width and height", this);
    CheckBox1->setGeometry(168, 26, 137, 17);
    CheckBox1->setChecked(true);
    // The desktop's font may be wider than the one the box was laid out for: the box then
    // grows to show its whole caption, and the dialog with it.
    const int checkWidth = std::max(137, CheckBox1->sizeHint().width());
    CheckBox1->resize(checkWidth, 17);
    setFixedSize(std::max(313, 168 + checkWidth + 8), 195);
    SpeedButton2 = signButtonAt(this, "+", 168);
    SpeedButton1 = signButtonAt(this, "-", 200);
    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(16, 136, 73, 25);
    Button1->setAutoDefault(false);
    Button2 = new QPushButton("Cancel", this);
    Button2->setGeometry(168, 136, 73, 25);
    Button2->setAutoDefault(false);

    const auto on = [this](auto* sender, auto signal, void (TImage_Size::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    // Only the user's typing keeps the proportions; a field set here triggers nothing.
    on(Edit1, &QLineEdit::textEdited, &TImage_Size::Edit1KeyUp);
    on(Edit2, &QLineEdit::textEdited, &TImage_Size::Edit2KeyUp);
    on(SpeedButton1, &QToolButton::clicked, &TImage_Size::SpeedButton1Click);
    on(SpeedButton2, &QToolButton::clicked, &TImage_Size::SpeedButton2Click);
    on(Button1, &QPushButton::clicked, &TImage_Size::Button1Click);
    on(Button2, &QPushButton::clicked, &TImage_Size::Button2Click);
}

bool TImage_Size::IsAllDigits(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

int TImage_Size::StrToInt(const QString& text) {
    std::string digits = text.toStdString();
    if (!digits.empty() && digits.front() == '+') {
        digits.erase(0, 1);
    }
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end || text.startsWith(u"+-")) {
        throw std::runtime_error("'" + text.toStdString() + "' is not a valid integer value");
    }
    return value;
}

void TImage_Size::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] { FormShow(); });
}

void TImage_Size::FormShow() {
    Edit1->setText(QString::number(currentPicture().width()));
    Edit2->setText(QString::number(currentPicture().height()));
}

void TImage_Size::Edit1KeyUp() {
    const QImage& picture = currentPicture();
    if (CheckBox1->isChecked() && IsAllDigits(Edit1->text()) && picture.width() > 0) {
        const long double width = StrToInt(Edit1->text());
        Edit2->setText(QString::number(rnd(width * picture.height() / picture.width())));
    }
}

void TImage_Size::Edit2KeyUp() {
    const QImage& picture = currentPicture();
    if (CheckBox1->isChecked() && IsAllDigits(Edit2->text()) && picture.height() > 0) {
        const long double height = StrToInt(Edit2->text());
        Edit1->setText(QString::number(rnd(height * picture.width() / picture.height())));
    }
}

void TImage_Size::SpeedButton1Click() {
    const QString width = scaledField(Edit1->text(), 80);
    const QString height = scaledField(Edit2->text(), 80);
    Edit1->setText(width);
    Edit2->setText(height);
}

void TImage_Size::SpeedButton2Click() {
    const QString width = scaledField(Edit1->text(), 125);
    const QString height = scaledField(Edit2->text(), 125);
    Edit1->setText(width);
    Edit2->setText(height);
}

void TImage_Size::Button1Click() {
    if (!IsAllDigits(Edit1->text()) || !IsAllDigits(Edit2->text())) {
        showPlainMessage(kInvalidValue);
        return;
    }
    const QImage& picture = currentPicture();
    if (picture.isNull()) {
        close();
        return;
    }
    const double horizontal = static_cast<double>(StrToInt(Edit1->text())) / picture.width();
    const double vertical = static_cast<double>(StrToInt(Edit2->text())) / picture.height();
    if (horizontal <= 0 || vertical <= 0) {
        showPlainMessage(kInvalidValue);
        return;
    }
    PictureControl* image = Work_area->Image1;
    Form1->ZoomInOut(image, horizontal, vertical);
    image->resize(static_cast<int>(rnd(image->width() * static_cast<long double>(horizontal))),
                  static_cast<int>(rnd(image->height() * static_cast<long double>(vertical))));
    close();
}

void TImage_Size::Button2Click() {
    close();
}
