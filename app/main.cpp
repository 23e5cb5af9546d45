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

// Where "--" stands among the arguments, or argc: what follows it are names, never options.
int endOfOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return i;
        }
    }
    return argc;
}

// Whether the command line only asks for the help or version text.
bool asksForTextOnly(int argc, char** argv) {
    const int optionCount = endOfOptions(argc, argv);
    for (int i = 1; i < optionCount; ++i) {
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
    // Qt takes its own options (-platform, -reverse, ...) only from before "--"; the names after
    // it reach the parser as they are, even "-reverse.png".
    const int optionCount = endOfOptions(argc, argv);
    QStringList names;
    for (int i = optionCount; i < argc; ++i) {
        names.append(QString::fromLocal8Bit(argv[i]));
    }
    int qtArgumentCount = optionCount;
    MugwarpApplication app(qtArgumentCount, argv);
    // A picture given on the command line (a file manager's "Open with") opens at start.
    QCommandLineParser arguments;
    describeArguments(arguments);
    arguments.process(QCoreApplication::arguments() + names);

    createWindows();
    Form1->show();
    // Work left by a Mugwarp that ended unexpectedly is offered first; taken back, it is not
    // replaced by a picture named on the command line.
    bool recovered = false;
    guarded([&] { recovered = Form1->offerLeftWork(); });
    if (const QStringList files = arguments.positionalArguments(); !recovered && !files.isEmpty()) {
        guarded([&] { Form1->openPictureFile(files.front()); });
    }
    const int result = app.exec();
    destroyWindows();
    return result;
}
