#include "app/picture_open_dialog.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "formats/picture_limits.h"
#include "formats/picture_type_registry.h"

namespace {

constexpr int kPreviewSide = 180;

}  // namespace

PictureOpenDialog::PictureOpenDialog(QWidget* parent) : QFileDialog(parent, "Open") {
    // The preview needs our own widgets inside the dialog.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::AnyFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilter(formats::pictureTypeRegistry().openDialogFilter());

    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    Preview = new QLabel(box);
    Preview->setFixedSize(kPreviewSide, kPreviewSide);
    Preview->setAlignment(Qt::AlignCenter);
    Preview->setFrameShape(QFrame::StyledPanel);
    SizeLabel = new QLabel(box);
    SizeLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(Preview);
    column->addWidget(SizeLabel);
    column->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(box, 0, grid->columnCount(), grid->rowCount(), 1);
    }
    connect(this, &QFileDialog::currentChanged, this, &PictureOpenDialog::showPreview);
}

bool PictureOpenDialog::showPreview(const QString& path) {
    Preview->clear();
    SizeLabel->clear();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > formats::kMaxPictureFileBytes) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    try {
        const QImage picture = formats::pictureTypeRegistry().read(file.readAll(), info.suffix());
        if (picture.isNull()) {
            return false;
        }
        Preview->setPixmap(QPixmap::fromImage(picture.scaled(
            kPreviewSide - 4, kPreviewSide - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        SizeLabel->setText(QString("%1 x %2").arg(picture.width()).arg(picture.height()));
        return true;
    } catch (...) {
        // A preview of a damaged file is simply empty.
        return false;
    }
}
