// Narrows the tabs of a tab bar just enough that all of them fit in a given width, so a page
// added to a window of fixed size is seen without scroll arrows.
#pragma once

class QTabBar;

void fitTabsInWidth(QTabBar* bar, int width);
