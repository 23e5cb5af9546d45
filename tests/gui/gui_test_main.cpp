// Runs the GUI tests inside one application object, as the program does.
#include <gtest/gtest.h>

#include "app/mugwarp_application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    MugwarpApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The windows go as at the program's end, so the sanitizers see that path too.
    destroyWindows();
    return result;
}
