// The palette's Face page: finds the faces of the picture when it is shown, outlines them, and
// binds one slider to each adjustment of face/face_adjustments.h. While a slider moves the
// picture window previews the change, rendered from the unchanged picture; Apply makes it a
// history step (a morph of several steps while recording). The page reaches the rest of the
// program through app/picture_editing.h only.
#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "face/face_adjustments.h"
#include "face/face_landmarks.h"
#include "workarea/picture_tool.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QThread;
class QTimer;

class FacePage : public QWidget, public PictureTool {
    Q_OBJECT
public:
    // `progress` is the palette's bar; it moves while faces are being found.
    explicit FacePage(QProgressBar* progress, QWidget* parent = nullptr);
    ~FacePage() override;

    // The palette shows the page (faces are found unless known for this picture) or leaves it
    // (an unapplied change is dropped, every slider goes back to 0).
    void enter();
    void leave();

    const std::vector<face::FoundFace>& faces() const { return faces_; }
    int chosenFace() const { return chosen_; }
    bool busy() const { return busy_; }
    QString status() const;
    QString limitNote() const;
    // The settings the sliders show.
    face::FaceSettings settings() const;

    QSlider* slider(face::Adjustment adjustment) const {
        return sliders_[static_cast<size_t>(adjustment)];
    }
    QSlider* secondEyeSlider(int index) const { return secondEyeSliders_[index]; }
    QCheckBox* allFacesBox() const { return allFaces_; }
    QCheckBox* eyesApartBox() const { return eyesApart_; }
    QSpinBox* framesBox() const { return frames_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* nextFaceButton() const { return nextFace_; }

    // The left button on the picture: a click in a face chooses it; a drag elsewhere boxes a
    // face the finder missed, whose landmarks are then fitted inside the box.
    void picturePress(QPointF at) override;
    void pictureDrag(QPointF at) override;
    void pictureRelease(QPointF at) override;

private:
    struct Outcome {
        std::vector<face::FoundFace> faces;
        QString error;
    };
    QWidget* buildSliders();
    QSlider* addSliderRow(class QGridLayout* grid, int row, const QString& label, int minimum,
                          int maximum, const QString& unit);
    void connectControls();

    // Runs `work` off the user-interface thread with the bar moving; `done` gets its outcome
    // unless the page has started other work or been left meanwhile.
    void runInBackground(std::function<Outcome()> work, std::function<void(Outcome)> done);
    void setBusy(bool busy);
    void findFaces();
    void facesFound(Outcome outcome, qint64 pictureKey);
    void boxFitted(Outcome outcome);
    void pictureReplaced();

    void chooseFace(int index);
    // The faces the sliders change: the chosen one, or all of them.
    std::vector<face::FoundFace> facesToChange() const;
    void showMarks();
    void schedulePreview();
    void renderPreview();
    void applyChange();
    void resetSliders();
    void updateControls();
    void setStatus(const QString& text);

    QProgressBar* progress_;
    QLabel* status_ = nullptr;
    QLabel* limit_ = nullptr;
    QCheckBox* allFaces_ = nullptr;
    QPushButton* nextFace_ = nullptr;
    QCheckBox* eyesApart_ = nullptr;
    std::array<QSlider*, face::kAdjustmentCount> sliders_{};
    std::array<QLabel*, face::kAdjustmentCount> labels_{};
    std::array<QSlider*, 5> secondEyeSliders_{};
    std::vector<QWidget*> secondEyeRow_;
    QSpinBox* frames_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* apply_ = nullptr;
    QTimer* previewTimer_ = nullptr;

    bool active_ = false;
    bool busy_ = false;
    bool applying_ = false;
    bool connected_ = false;
    int savedMaximum_ = 0;
    int generation_ = 0;
    std::vector<QPointer<QThread>> threads_;
    // The faces found on the picture whose cache key is facesKey_.
    std::vector<face::FoundFace> faces_;
    qint64 facesKey_ = -1;
    int chosen_ = -1;
    double previewLimit_ = 1;  // how much of the sliders' change the preview shows
    // A press on the picture: the face it chose, or where a box drag began.
    int pressedFace_ = -1;
    std::optional<QPointF> boxStart_;
    std::optional<QRectF> box_;
};
