#include "app/mugwarp_application.h"

#include <QThreadPool>

#include "app/handler_guard.h"
#include "formats/format_registrations.h"
#include "resources/icons/program_icon.h"

MugwarpApplication::MugwarpApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Mugwarp");
    setApplicationVersion(MUGWARP_VERSION);
    // Ties the windows to the installed desktop entry (its icon and name in task bars).
    setDesktopFileName("org.mugwarp.Mugwarp");
    setWindowIcon(programIcon());  // every window without one of its own shows it
    formats::registerPictureFormats();
}

MugwarpApplication::~MugwarpApplication() {
    // Background decodes (the open dialog's previews) read the registry: they end first.
    for (QThreadPool* pool : findChildren<QThreadPool*>()) {
        pool->waitForDone();
    }
    formats::unregisterPictureFormats();
}

bool MugwarpApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
