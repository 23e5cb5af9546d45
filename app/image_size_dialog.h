// TImage_Size: the stay-on-top dialog that resizes the picture.
#pragma once

#include <QDialog>

class TImage_Size : public QDialog {
    Q_OBJECT
public:
    explicit TImage_Size(QWidget* parent = nullptr);
};
