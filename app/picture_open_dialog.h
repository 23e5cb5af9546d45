// The open dialog: a file dialog with a preview of the chosen picture and its
// width and height. A file that does not exist or cannot be decoded shows an
// empty preview, without an error.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;

class PictureOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    // Decodes a picture file for the preview; runs on a worker thread, so it must not touch
    // the dialog. Throws or returns a null image when the file is no picture.
    using PreviewDecoder = std::function<QImage(const QString& path)>;

    // `decoder` replaces the picture readers for the preview (tests make it slow at will).
    explicit PictureOpenDialog(QWidget* parent = nullptr, PreviewDecoder decoder = {});
    ~PictureOpenDialog() override;

    QLabel* Preview = nullptr;
    QLabel* SizeLabel = nullptr;

    // Empties the preview and starts decoding `path` in the background, so a large file never
    // freezes the dialog; only the newest selection's result is shown when it arrives. Files
    // that are not there or exceed the size limit of a picture file are not read at all.
    // Returns whether a decode was started.
    bool showPreview(const QString& path);
    // Whether the newest selection's preview is still being decoded.
    bool previewPending() const;

signals:
    // The preview of the newest selection has arrived (shown, or empty when it failed).
    void previewShown(const QString& path, bool decoded);

private:
    struct Decoded;
    void showDecoded(uint64_t request, const QString& path, const Decoded& decoded);

    PreviewDecoder decoder_;
    // The number of the newest selection, shared with the decodes still under way so that
    // those of older selections skip their work when they have not begun it yet.
    std::shared_ptr<std::atomic<uint64_t>> newest_ = std::make_shared<std::atomic<uint64_t>>(0);
    bool pending_ = false;
};
