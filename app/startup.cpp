#include "app/startup.h"

#include <QMdiArea>

#include "app/about_box.h"
#include "app/image_size_dialog.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "tools/tool_palette.h"
#include "workarea/work_area.h"

void createWindows() {
    Form1 = new TForm1;
    Work_area = new TWork_area;
    Form1->MdiArea->addSubWindow(Work_area);
    Work_area->show();
    Tools = new TTools(Form1);
    Tools->show();
    About_us = new TAbout_us(Form1);
    Image_Size = new TImage_Size(Form1);
}

void destroyWindows() {
    // The palette and the dialogs reach the picture window, and it reaches the main window;
    // each goes before what it reaches, so no handler meets a half-destroyed window.
    delete Image_Size;
    Image_Size = nullptr;
    delete About_us;
    About_us = nullptr;
    delete Tools;
    Tools = nullptr;
    delete Work_area;
    Work_area = nullptr;
    delete Form1;
    Form1 = nullptr;
}
