// The step recorder of the palette: while it records, every history step also writes its
// frame file; playing shows the recorded steps again in the picture window, and the export
// hands the record on as a program that plays it by itself or as an animated GIF.
#include <QFileDialog>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr const char* kRecording = "Recording...";

}  // namespace

void TTools::setRecorderStatus(const QString& text) {
    Label12->setText(text);
    Label12->repaint();
}

void TTools::setRecorderButtons(bool recording) {
    SpeedButton4->setEnabled(recording);
    SpeedButton6->setEnabled(recording);
    SpeedButton7->setEnabled(recording);
    SpeedButton5->setEnabled(!recording);
}

void TTools::refuseEmptyRecord() {
    showCaptionedBox("Sorry", "Just begin to record, please do more!");
}

// Recording is set before the history restarts, so frame 1 is always written; without memory
// for the new history the old one stays and nothing records.
void TTools::SpeedButton5Click() {
    Recording = 1;
    try {
        Form1->RestartHistory(false);
    } catch (const HistoryMemoryError&) {
        Recording = 0;
        throw;
    }
    setRecorderButtons(true);
    setRecorderStatus(kRecording);
}

void TTools::SpeedButton6Click() {
    Recording = 0;
    Timer1->stop();
    setRecorderButtons(false);
    setRecorderStatus("Stop.");
}

void TTools::SpeedButton7Click() {
    setRecorderStatus("Playing......");
    if (CurrentFrame == 1) {
        refuseEmptyRecord();
        setRecorderStatus(kRecording);
        return;
    }
    PlayFrame = 2;
    Timer1->start();
}

// The tick after the last frame still shows it: frames 2 to CurrentFrame each get one tick,
// and the picture window ends on the current picture. The control keeps its size. A frame
// the history let go comes from its frame file; one that cannot be read keeps the frame before.
void TTools::Timer1Timer() {
    if (PlayFrame >= CurrentFrame) {
        Timer1->stop();
        setRecorderStatus(kRecording);
    }
    const QImage frame = recordedFrame(PlayFrame);
    if (!frame.isNull()) {
        Work_area->Image1->setPicture(frame);
    }
    ++PlayFrame;
}

void TTools::SpeedButton4Click() {
    setRecorderStatus("Exporting...");
    if (CurrentFrame == 1) {
        refuseEmptyRecord();
    } else if (Recording == 1) {
        Form1->Recorderto();
    }
    setRecorderStatus(kRecording);
}

std::optional<TTools::ExportChoice> TTools::showExportDialog() {
    const QStringList filters = {"*.exe (*.exe)", "Animated GIF (*.gif)"};
    QString chosenFilter;
    const QString name =
        QFileDialog::getSaveFileName(this, QString(), QString(), filters.join(";;"), &chosenFilter,
                                     QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return ExportChoice{name, chosenFilter == filters[1] ? kExportAnimation : kExportProgram};
}
