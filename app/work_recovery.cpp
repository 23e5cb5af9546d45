// Work that survives a crash or a kill: after each step the picture goes to the recovery copy's
// writer, and at start a copy left by a Mugwarp that ended unexpectedly is offered.
#include <QMetaObject>
#include <QScopeGuard>
#include <QStatusBar>

#include "app/ended_folders.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/recovery_copy.h"
#include "app/shared_state.h"
#include "workarea/work_area.h"

void TForm1::startRecoveryCopies() {
    // The writer reports from its own thread; the message is shown on this one.
    auto report = [this](const QString& message) {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                StatusBar1->showMessage("The recovery copy could not be written: " + message);
            },
            Qt::QueuedConnection);
    };
    recoveryCopy_ = std::make_unique<RecoveryCopyWriter>(RecorderFolder + kRecoverySubfolder + "/",
                                                         std::move(report));
}

void TForm1::keepRecoveryCopy() {
    if (recoveryCopy_ != nullptr && !Work_area->picture().isNull()) {
        recoveryCopy_->keep(Work_area->picture(), PictureBaseName);
    }
}

bool TForm1::offerLeftWork() {
    if (endedFolders_ == nullptr) {
        return false;
    }
    const std::unique_ptr<EndedFolders> left = std::move(endedFolders_);
    return offerLeftWork(*left);
}

bool TForm1::offerLeftWork(EndedFolders& left) {
    // Whatever the answer, and even when the copy cannot be opened, the old folders go: the
    // question is asked once.
    const auto removeLeft = qScopeGuard([&left] { left.removeAll(); });
    const QString copy = left.newestRecoveryCopy();
    return !copy.isEmpty() &&
           askYesNo("Mugwarp ended unexpectedly. Open the picture you were working on?") &&
           openPictureFile(copy);
}
