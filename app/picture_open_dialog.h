// The open dialog: a file dialog with a preview of the chosen picture and its
// width and height. A file that does not exist or cannot be decoded shows an
// empty preview, without an error.
#pragma once

#include <QFileDialog>

class QLabel;

class PictureOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit PictureOpenDialog(QWidget* parent = nullptr);

    QLabel* Preview = nullptr;
    QLabel* SizeLabel = nullptr;

    // Shows `path` in the preview; returns whether it could be decoded.
    bool showPreview(const QString& path);
};
