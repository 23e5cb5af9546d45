// Mugwarp: turns photographs into caricatures.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstring>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/mugwarp_application.h"
#include "app/shared_state.h"
#include "app/startup.h"

namespace {

void describeArguments(QCommandLineParser& arguments) {
    arguments.setApplicationDescription("Turns photographs into caricatures.");
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument("FILE", "A picture to open instead of the example.", "[FILE]");
}

// Whether the command line only asks for the help or version text.
bool asksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (asksForTextOnly(argc, argv)) {
        // Answered before any window system is touched, so it works without a display.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName("Mugwarp");
        QCoreApplication::setApplicationVersion(MUGWARP_VERSION);
        QCommandLineParser arguments;
        describeArguments(arguments);
        arguments.process(core);  // prints to standard output and exits
        return 0;
    }
    MugwarpApplication app(argc, argv);
    // A picture given on the command line (a file manager's "Open with") opens at start.
    QCommandLineParser arguments;
    describeArguments(arguments);
    arguments.process(app);

    createWindows();
    Form1->show();
    if (const QStringList files = arguments.positionalArguments(); !files.isEmpty()) {
        guarded([&] { Form1->openPictureFile(files.front()); });
    }
    const int result = app.exec();
    delete Form1;  // owns the other windows
    return result;
}
