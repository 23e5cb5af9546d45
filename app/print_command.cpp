// Printing the picture on one page, centred and enlarged by doubling.
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "app/main_window.h"
#include "app/print_placement.h"
#include "workarea/work_area.h"

bool TForm1::showPrintDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    return dialog.exec() == QDialog::Accepted;
}

void TForm1::SpeedButton16Click() {
    const QImage& picture = Work_area->picture();
    if (picture.isNull()) {
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!PrintDialog1(printer)) {
        return;
    }
    // The painter's device is the printable area, in printer pixels.
    const QRect place = printPlacement(picture.size(), QSize(printer.width(), printer.height()));
    // Enlarged by pixel replication here, so no printer driver or viewer smooths it.
    const QImage enlarged =
        place.size() == picture.size()
            ? picture
            : picture.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw std::runtime_error("The printer cannot be started.");
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(place.topLeft(), enlarged);
    painter.end();
}
