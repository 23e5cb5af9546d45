#include "tools/face_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "app/handler_guard.h"
#include "app/picture_editing.h"
#include "face/face_change.h"
#include "face/face_finder.h"
#include "face/face_outline.h"
#include "tools/slider_row.h"
#include "warp/warp_session.h"

namespace {

constexpr int kEyeSliders = 5;  // EyeSize ... EyeDistance, the ones that can be set apart
constexpr int kFirstEyeSlider = static_cast<int>(face::Adjustment::EyeSize);
constexpr int kMaxFrames = 30;
// A drag shorter than this (picture pixels) is a click, and a box smaller than it no face.
constexpr double kSmallestBox = 12;

QString sliderText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Eye size" as "Right eye size" for the eye on the picture's right.
QString sideLabel(const QString& label, const QString& side) {
    return side + " " + label.left(1).toLower() + label.mid(1);
}

QString facesFoundText(size_t count) {
    if (count == 0) {
        return "No face was found. Drag a box around a face.";
    }
    const QString found = count == 1 ? "One face found." : QString("%1 faces found.").arg(count);
    return found + " Click a face to choose it.";
}

}  // namespace

FacePage::FacePage(QProgressBar* progress, QWidget* parent) : QWidget(parent), progress_(progress) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    layout->addWidget(status_);

    auto* faceRow = new QHBoxLayout;
    allFaces_ = new QCheckBox("All &faces", this);
    nextFace_ = new QPushButton("&Next face", this);
    faceRow->addWidget(allFaces_);
    faceRow->addStretch();
    faceRow->addWidget(nextFace_);
    layout->addLayout(faceRow);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(buildSliders());
    layout->addWidget(scroll, 1);

    limit_ = new QLabel(this);
    limit_->setWordWrap(true);
    limit_->hide();
    layout->addWidget(limit_);

    auto* applyRow = new QHBoxLayout;
    auto* framesLabel = new QLabel("Fra&mes", this);
    frames_ = new QSpinBox(this);
    frames_->setRange(1, kMaxFrames);
    frames_->setValue(1);
    frames_->setToolTip(
        "While recording, Apply stores this many steps, from the face to the "
        "change");
    framesLabel->setBuddy(frames_);
    reset_ = new QPushButton("&Reset", this);
    apply_ = new QPushButton("&Apply", this);
    applyRow->addWidget(framesLabel);
    applyRow->addWidget(frames_);
    applyRow->addStretch();
    applyRow->addWidget(reset_);
    applyRow->addWidget(apply_);
    layout->addLayout(applyRow);

    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(0);

    connectControls();
    updateControls();
}

FacePage::~FacePage() {
    // A search still running must not post to a page that is gone.
    for (const QPointer<QThread>& thread : threads_) {
        if (thread) {
            thread->wait();
        }
    }
}

QWidget* FacePage::buildSliders() {
    auto* panel = new QWidget;
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const face::AdjustmentInfo& info : face::adjustmentTable()) {
        const auto index = static_cast<size_t>(info.id);
        if (static_cast<int>(index) == kFirstEyeSlider) {
            eyesApart_ = new QCheckBox("Set eyes a&part", panel);
            eyesApart_->setToolTip("Change the eye on each side of the picture on its own");
            grid->addWidget(eyesApart_, row++, 0, 1, 3);
        }
        const bool percent = info.id == face::Adjustment::Caricature;
        sliders_[index] = addSliderRow(grid, row++, sliderText(info.label), info.minimum,
                                       info.maximum, percent ? " %" : "");
        labels_[index] = qobject_cast<QLabel*>(grid->itemAtPosition(row - 1, 0)->widget());
        if (static_cast<int>(index) == kFirstEyeSlider + kEyeSliders - 1) {
            // The second eye's rows, shown while the eyes are set apart.
            for (int e = 0; e < kEyeSliders; ++e) {
                const face::AdjustmentInfo& eye = face::adjustmentTable()[kFirstEyeSlider + e];
                secondEyeSliders_[e] =
                    addSliderRow(grid, row++, sideLabel(sliderText(eye.label), "Right"),
                                 eye.minimum, eye.maximum, "");
                for (int column = 0; column < 3; ++column) {
                    QWidget* widget = grid->itemAtPosition(row - 1, column)->widget();
                    secondEyeRow_.push_back(widget);
                    widget->hide();
                }
            }
        }
    }
    grid->setRowStretch(row, 1);
    return panel;
}

QSlider* FacePage::addSliderRow(QGridLayout* grid, int row, const QString& label, int minimum,
                                int maximum, const QString& unit) {
    return ::addSliderRow(grid, grid->parentWidget(), row, label, {minimum, maximum, 0, 10}, unit,
                          "-100 %");
}

void FacePage::connectControls() {
    const auto changed = [this] { schedulePreview(); };
    for (QSlider* bar : sliders_) {
        connect(bar, &QSlider::valueChanged, this, changed);
    }
    for (QSlider* bar : secondEyeSliders_) {
        connect(bar, &QSlider::valueChanged, this, changed);
    }
    connect(allFaces_, &QCheckBox::toggled, this, [this] {
        showMarks();
        schedulePreview();
    });
    connect(eyesApart_, &QCheckBox::toggled, this, [this](bool apart) {
        for (QWidget* widget : secondEyeRow_) {
            widget->setVisible(apart);
        }
        for (int e = 0; e < kEyeSliders; ++e) {
            const QString label = sliderText(face::adjustmentTable()[kFirstEyeSlider + e].label);
            labels_[kFirstEyeSlider + e]->setText(apart ? sideLabel(label, "Left") : label);
            // Set apart, the second eye starts where both were.
            if (apart) {
                secondEyeSliders_[e]->setValue(sliders_[kFirstEyeSlider + e]->value());
            }
        }
        schedulePreview();
    });
    connect(nextFace_, &QPushButton::clicked, this, [this] {
        guarded([&] {
            if (!faces_.empty()) {
                chooseFace((chosen_ + 1) % static_cast<int>(faces_.size()));
            }
        });
    });
    connect(reset_, &QPushButton::clicked, this, [this] { guarded([&] { resetSliders(); }); });
    connect(apply_, &QPushButton::clicked, this, [this] { guarded([&] { applyChange(); }); });
    connect(previewTimer_, &QTimer::timeout, this, [this] { guarded([&] { renderPreview(); }); });
}

QString FacePage::status() const {
    return status_->text();
}

QString FacePage::limitNote() const {
    return limit_->isHidden() ? QString() : limit_->text();
}

void FacePage::setStatus(const QString& text) {
    status_->setText(text);
}

face::FaceSettings FacePage::settings() const {
    face::FaceSettings result;
    for (size_t i = 0; i < sliders_.size(); ++i) {
        result.values[i] = sliders_[i]->value();
    }
    result.eyesApart = eyesApart_->isChecked();
    for (int e = 0; e < kEyeSliders; ++e) {
        result.secondEye[e] = secondEyeSliders_[e]->value();
    }
    return result;
}

void FacePage::enter() {
    active_ = true;
    if (!connected_) {
        connected_ = static_cast<bool>(
            editing::whenPictureReplaced(this, [this] { guarded([&] { pictureReplaced(); }); }));
    }
    editing::setPictureTool(this);
    editing::setPictureHint("Click a face to choose it, or drag a box around a face");
    editing::setPictureCursor(Qt::ArrowCursor);
    const QImage& picture = editing::currentPicture();
    if (picture.isNull()) {
        faces_.clear();
        chosen_ = -1;
        setStatus("Please input a picture");
    } else if (picture.cacheKey() != facesKey_) {
        findFaces();
    } else {
        setStatus(facesFoundText(faces_.size()));
    }
    showMarks();
    updateControls();
}

void FacePage::leave() {
    if (!active_) {
        return;
    }
    active_ = false;
    ++generation_;  // whatever still runs is no longer wanted
    setBusy(false);
    previewTimer_->stop();
    resetSliders();
    editing::dropPreview();
    editing::hideFaceMarks();
    editing::setPictureTool(nullptr);
    boxStart_.reset();
    box_.reset();
}

void FacePage::runInBackground(std::function<Outcome()> work, std::function<void(Outcome)> done) {
    const int generation = ++generation_;
    setBusy(true);
    QThread* thread = QThread::create([this, work = std::move(work), done, generation] {
        Outcome outcome;
        try {
            outcome = work();
        } catch (const std::exception& error) {
            outcome.error = QString::fromStdString(error.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, done, generation, outcome = std::move(outcome)]() mutable {
                if (generation == generation_) {
                    setBusy(false);
                    guarded([&] { done(std::move(outcome)); });
                }
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    std::erase_if(threads_, [](const QPointer<QThread>& t) { return t.isNull(); });
    threads_.emplace_back(thread);
    thread->start();
}

void FacePage::setBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    // A bar without a range moves on its own, for work of unknown length.
    if (busy) {
        savedMaximum_ = progress_->maximum();
        progress_->setRange(0, 0);
    } else {
        progress_->setRange(0, savedMaximum_);
        progress_->setValue(0);
    }
    updateControls();
}

void FacePage::findFaces() {
    const QImage picture = editing::currentPicture();
    faces_.clear();
    chosen_ = -1;
    facesKey_ = -1;
    editing::hideFaceMarks();
    setStatus("Finding faces...");
    runInBackground(
        [picture] {
            return Outcome{face::findFaces(picture), {}};
        },
        [this, key = picture.cacheKey()](Outcome outcome) { facesFound(std::move(outcome), key); });
}

void FacePage::facesFound(Outcome outcome, qint64 pictureKey) {
    if (!outcome.error.isEmpty()) {
        setStatus(outcome.error);
        updateControls();
        return;
    }
    faces_ = std::move(outcome.faces);
    facesKey_ = pictureKey;
    chosen_ = faces_.empty() ? -1 : 0;
    setStatus(facesFoundText(faces_.size()));
    showMarks();
    updateControls();
}

void FacePage::pictureReplaced() {
    if (applying_) {
        return;
    }
    // The faces belong to the picture that went; the sliders' change goes with its preview.
    previewTimer_->stop();
    resetSliders();
    if (active_) {
        editing::hideFaceMarks();
        if (editing::currentPicture().isNull()) {
            faces_.clear();
            chosen_ = -1;
        } else {
            findFaces();
        }
    }
}

void FacePage::chooseFace(int index) {
    chosen_ = index;
    showMarks();
    schedulePreview();
}

std::vector<face::FoundFace> FacePage::facesToChange() const {
    if (allFaces_->isChecked()) {
        return faces_;
    }
    if (chosen_ < 0 || chosen_ >= static_cast<int>(faces_.size())) {
        return {};
    }
    return {faces_[chosen_]};
}

void FacePage::showMarks() {
    if (!active_) {
        return;
    }
    // The faces being changed are outlined where the preview shows them.
    const face::FaceSettings values = settings();
    FaceMarks marks;
    for (size_t f = 0; f < faces_.size(); ++f) {
        FaceMarks::Face shown;
        shown.chosen = allFaces_->isChecked() || static_cast<int>(f) == chosen_;
        const face::FoundFace drawn =
            shown.chosen && !values.isIdentity()
                ? face::changedFaces({faces_[f]}, values, previewLimit_).front()
                : faces_[f];
        for (face::OutlinePart& part : face::outlineOf(drawn.points)) {
            shown.lines.push_back({std::move(part.points), part.closed});
        }
        marks.faces.push_back(std::move(shown));
    }
    marks.box = box_;
    if (marks.faces.empty() && !marks.box) {
        editing::hideFaceMarks();
    } else {
        editing::showFaceMarks(std::move(marks));
    }
}

void FacePage::schedulePreview() {
    if (active_) {
        previewTimer_->start();
    }
    updateControls();
}

// Rendered from the unchanged picture each time: the preview shows the sliders' values,
// never a change of a change.
void FacePage::renderPreview() {
    const QImage picture = editing::currentPicture();
    const face::FaceSettings values = settings();
    const std::vector<face::FoundFace> changing = facesToChange();
    if (!active_ || picture.isNull() || changing.empty() || values.isIdentity()) {
        editing::dropPreview();
        limit_->hide();
        showMarks();
        return;
    }
    double limitedTo = 1;
    auto warp = std::make_shared<const face::FaceWarp>(
        face::faceWarp(picture.size(), changing, values, &limitedTo));
    previewLimit_ = limitedTo;
    showMarks();
    if (limitedTo < 1) {
        limit_->setText(QString("Limited to %1 % so the picture does not fold.")
                            .arg(static_cast<int>(std::floor(limitedTo * 100))));
        limit_->show();
    } else {
        limit_->hide();
    }
    editing::showPreview({warp->touchedRegion(), [warp, picture](const QRect& shown, double zoom) {
                              return warp->preview(picture, shown, zoom);
                          }});
}

void FacePage::applyChange() {
    const face::FaceSettings values = settings();
    const std::vector<face::FoundFace> changing = facesToChange();
    const QImage original = editing::currentPicture();
    if (busy_ || original.isNull() || changing.empty() || values.isIdentity()) {
        return;
    }
    previewTimer_->stop();
    editing::dropPreview();
    // While recording, the change is stored as a morph: frame i of n at i/n of the values.
    const int frames = editing::isRecording() ? frames_->value() : 1;
    const int maximum = progress_->maximum();
    progress_->setRange(0, frames);
    applying_ = true;
    double limitedTo = 1;
    try {
        warp::WarpSession& session = editing::warpSession();
        const warp::DisplacementField before = session.field();
        QRect region;
        for (int frame = 1; frame <= frames; ++frame) {
            const double fraction = static_cast<double>(frame) / frames;
            if (!(session.amount() > 0)) {
                // A warp shown at no amount cannot carry another: this change starts afresh.
                face::FaceChange change = face::changeFaces(original, changing, values, fraction);
                limitedTo = change.limitedTo;
                editing::commitStep(std::move(change.picture));
            } else {
                // Into the session's field, so that the face and any brush strokes stay one
                // resample of the base.
                const face::FaceWarp warp =
                    face::faceWarp(original.size(), changing, values, &limitedTo, fraction);
                session.field() = before;
                session.compose(warp.touchedRegion(),
                                [&warp](double x, double y) { return warp.sourceOf(x, y); });
                region = region.united(warp.touchedRegion());
                editing::commitInPlace(
                    [&session, region](QImage& picture) { session.render(picture, region); });
                editing::warpSessionProduced();
            }
            progress_->setValue(frame);
        }
    } catch (...) {
        applying_ = false;
        progress_->setRange(0, maximum);
        throw;
    }
    applying_ = false;
    progress_->setRange(0, maximum);
    progress_->setValue(0);

    // The faces stay found, where the change moved them.
    const std::vector<face::FoundFace> moved = face::changedFaces(changing, values, limitedTo);
    if (allFaces_->isChecked()) {
        faces_ = moved;
    } else {
        faces_[chosen_] = moved.front();
    }
    facesKey_ = editing::currentPicture().cacheKey();
    resetSliders();
    showMarks();
}

void FacePage::resetSliders() {
    for (QSlider* bar : sliders_) {
        bar->setValue(0);
    }
    for (QSlider* bar : secondEyeSliders_) {
        bar->setValue(0);
    }
    limit_->hide();
}

void FacePage::updateControls() {
    const bool ready = active_ && !busy_ && !faces_.empty();
    for (QSlider* bar : sliders_) {
        bar->setEnabled(ready);
    }
    for (QSlider* bar : secondEyeSliders_) {
        bar->setEnabled(ready);
    }
    eyesApart_->setEnabled(ready);
    allFaces_->setEnabled(ready && faces_.size() > 1);
    nextFace_->setEnabled(ready && faces_.size() > 1);
    const bool changed = !settings().isIdentity();
    apply_->setEnabled(ready && changed);
    reset_->setEnabled(ready && changed);
}

void FacePage::picturePress(QPointF at) {
    pressedFace_ = -1;
    boxStart_.reset();
    if (busy_ || editing::currentPicture().isNull()) {
        return;
    }
    // The smallest box under the press, so a face inside another's ring can be chosen.
    double smallest = 0;
    for (size_t f = 0; f < faces_.size(); ++f) {
        const QRectF& box = faces_[f].box;
        const double area = box.width() * box.height();
        if (box.contains(at) && (pressedFace_ < 0 || area < smallest)) {
            pressedFace_ = static_cast<int>(f);
            smallest = area;
        }
    }
    if (pressedFace_ < 0) {
        boxStart_ = at;
    }
}

void FacePage::pictureDrag(QPointF at) {
    if (!boxStart_) {
        return;
    }
    box_ = QRectF(*boxStart_, at).normalized();
    showMarks();
}

void FacePage::pictureRelease(QPointF at) {
    if (pressedFace_ >= 0) {
        if (faces_[pressedFace_].box.contains(at) && pressedFace_ != chosen_) {
            chooseFace(pressedFace_);
        }
        pressedFace_ = -1;
        return;
    }
    if (!boxStart_) {
        return;
    }
    const QRectF box = QRectF(*boxStart_, at)
                           .normalized()
                           .intersected(QRectF(QPointF(0, 0), editing::currentPicture().size()));
    boxStart_.reset();
    box_.reset();
    if (box.width() < kSmallestBox || box.height() < kSmallestBox) {
        showMarks();
        return;
    }
    box_ = box;
    showMarks();
    const QImage picture = editing::currentPicture();
    setStatus("Fitting the face in the box...");
    runInBackground(
        [picture, box] {
            return Outcome{{face::sharedFaceFinder().fitInBox(picture, box)}, {}};
        },
        [this](Outcome outcome) { boxFitted(std::move(outcome)); });
}

void FacePage::boxFitted(Outcome outcome) {
    box_.reset();
    if (!outcome.error.isEmpty()) {
        setStatus(outcome.error);
        showMarks();
        return;
    }
    faces_.push_back(outcome.faces.front());
    facesKey_ = editing::currentPicture().cacheKey();
    chosen_ = static_cast<int>(faces_.size()) - 1;
    setStatus(facesFoundText(faces_.size()));
    showMarks();
    updateControls();
    schedulePreview();
}
