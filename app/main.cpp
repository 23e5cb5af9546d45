// Mugwarp: turns photographs into caricatures.
#include <QCommandLineParser>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/mugwarp_application.h"
#include "app/shared_state.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    MugwarpApplication app(argc, argv);
    // A picture given on the command line (a file manager's "Open with") opens at start.
    QCommandLineParser arguments;
    arguments.setApplicationDescription("Turns photographs into caricatures.");
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument("FILE", "A picture to open instead of the example.", "[FILE]");
    arguments.process(app);  // prints and exits for --help and --version

    createWindows();
    Form1->show();
    if (const QStringList files = arguments.positionalArguments(); !files.isEmpty()) {
        guarded([&] { Form1->openPictureFile(files.front()); });
    }
    const int result = app.exec();
    delete Form1;  // owns the other windows
    return result;
}
