// Where a printed picture goes on the page.
#pragma once

#include <QRect>
#include <QSize>

// The picture of `picture` pixels enlarged by doubling while its height is below half the
// page height and its width below half the page width (halves by integer division), then
// centred on the `page` (printer pixels) with truncating division. A picture larger than the
// page gets negative offsets and is cut by the page's edges.
QRect printPlacement(QSize picture, QSize page);
