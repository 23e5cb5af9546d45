#include "app/picture_open_dialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QPromise>
#include <QThreadPool>
#include <QVBoxLayout>

#include "formats/file_bytes.h"
#include "formats/picture_limits.h"
#include "formats/picture_type_registry.h"
#include "formats/readers/postscript_permission.h"

namespace {

constexpr int kPreviewSide = 180;

// The previews' own threads, apart from Qt's global pool. A few, so that a small file chosen
// after a slow one need not wait for it; decodes of older selections that have not begun yet
// skip their work. The pool belongs to the application, so closing the dialog never waits for
// a decode; the program's end does.
QThreadPool& previewPool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool(QCoreApplication::instance());
        created->setMaxThreadCount(4);
        return created;
    }();
    return *pool;
}

// The readers of the picture types, as File > Open reads a previewed file.
// Whatever cannot be read throws, and the preview stays empty.
QImage decodePictureFile(const QString& path) {
    return formats::pictureTypeRegistry().read(formats::readPictureBytes(path),
                                               QFileInfo(path).suffix());
}

}  // namespace

struct PictureOpenDialog::Decoded {
    QImage thumbnail;  // scaled into the preview
    QSize size;        // of the picture itself
};

PictureOpenDialog::PictureOpenDialog(QWidget* parent, PreviewDecoder decoder)
    : QFileDialog(parent, "Open"),
      decoder_(decoder ? std::move(decoder) : PreviewDecoder(decodePictureFile)) {
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

// A decode still running goes on to its end in the pool; its result finds no dialog.
PictureOpenDialog::~PictureOpenDialog() {
    ++*newest_;
}

bool PictureOpenDialog::showPreview(const QString& path) {
    const uint64_t request = ++*newest_;
    Preview->clear();
    SizeLabel->clear();
    pending_ = false;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > formats::kMaxPictureFileBytes) {
        return false;
    }
    pending_ = true;

    auto promise = std::make_shared<QPromise<Decoded>>();
    auto* watcher = new QFutureWatcher<Decoded>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request, path] {
        watcher->deleteLater();
        const QFuture<Decoded> future = watcher->future();
        showDecoded(request, path, future.resultCount() > 0 ? future.result() : Decoded{});
    });
    promise->start();
    watcher->setFuture(promise->future());
    previewPool().start([promise, request, path, decoder = decoder_, newest = newest_] {
        if (newest->load() == request) {
            // A preview never starts the PostScript interpreter: an EPS file shows the preview
            // it carries, or none.
            const formats::PostScriptPermission forbidden(
                formats::PostScriptPermission::Rendering::Forbidden);
            try {
                const QImage picture = decoder(path);
                if (!picture.isNull()) {
                    promise->addResult(
                        Decoded{picture.scaled(kPreviewSide - 4, kPreviewSide - 4,
                                               Qt::KeepAspectRatio, Qt::SmoothTransformation),
                                picture.size()});
                }
            } catch (...) {
                // A preview of a damaged file is simply empty.
            }
        }
        promise->finish();
    });
    return true;
}

void PictureOpenDialog::showDecoded(uint64_t request, const QString& path, const Decoded& decoded) {
    if (request != newest_->load()) {
        return;  // an older selection's picture arrives late: the newer one stands
    }
    pending_ = false;
    if (!decoded.thumbnail.isNull()) {
        Preview->setPixmap(QPixmap::fromImage(decoded.thumbnail));
        SizeLabel->setText(QString("%1 x %2").arg(decoded.size.width()).arg(decoded.size.height()));
    }
    emit previewShown(path, !decoded.thumbnail.isNull());
}

bool PictureOpenDialog::previewPending() const {
    return pending_;
}
