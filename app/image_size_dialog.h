// TImage_Size: the stay-on-top dialog that resamples the whole picture to a typed width and
// height, keeping the proportions while its check box is checked.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class TImage_Size : public QDialog {
    Q_OBJECT
public:
    explicit TImage_Size(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;  // "Width:"
    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;  // "Pixels"
    QLabel* Label2 = nullptr;  // "Height:"
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;  // "Pixels"
    QCheckBox* CheckBox1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;  // "+"
    QToolButton* SpeedButton1 = nullptr;  // "-"
    QPushButton* Button1 = nullptr;       // OK
    QPushButton* Button2 = nullptr;       // Cancel

    void FormShow();
    void Edit1KeyUp();
    void Edit2KeyUp();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Button1Click();
    void Button2Click();

    // A valid size text: not empty, and nothing but the digits 0 to 9.
    static bool IsAllDigits(const QString& text);
    // The whole number `text` stands for, with an optional sign; throws std::runtime_error
    // "'text' is not a valid integer value" for anything else or a value beyond 32 bits.
    static int StrToInt(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
};
