// Creates the five windows in start-up order: main window, picture window,
// tool palette, about box, image size dialog.
#pragma once

void createWindows();
// Deletes them in the reverse order, each while the windows it reaches are still whole,
// and sets the single instances to null.
void destroyWindows();
