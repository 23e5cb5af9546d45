// Creates the five windows in start-up order: main window, picture window,
// tool palette, about box, image size dialog.
#pragma once

void createWindows();
