// TAbout_us: the about box, shown without being modal.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

class TAbout_us : public QDialog {
    Q_OBJECT
public:
    explicit TAbout_us(QWidget* parent = nullptr);

    QWidget* Panel1 = nullptr;
    QLabel* Image1 = nullptr;  // the program's icon
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
};
