// Mugwarp: turns photographs into caricatures.
#include <memory>

#include "app/main_window.h"
#include "app/mugwarp_application.h"
#include "app/shared_state.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    MugwarpApplication app(argc, argv);
    createWindows();
    Form1->show();
    const int result = app.exec();
    delete Form1;  // owns the other windows
    return result;
}
