// Geometry in device pixels, the pixels the window's rules count in. Qt's widgets and windows
// count in device-independent pixels, which at a fractional scale (1.5: one unit is 1.5 pixels)
// cannot express every size or position: a 400 x 300 picture would get a 401 x 300 window. The
// picture's window must be exactly as large as the picture, so its geometry, its shape, the
// screens and the pointer are read and set here through Qt's platform window and screen, which
// work in device pixels.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>

class QFont;
class QScreen;
class QWindow;

namespace vistrel {

// The screen's full geometry in device pixels.
QRect deviceGeometry(const QScreen& screen);
// The pointer's position on the screen in device pixels.
QPoint deviceCursorPosition();
// A screen point in device pixels as Qt's own (device-independent) coordinates, for the popup
// menu.
QPoint logicalScreenPoint(QPoint device);

// Moves and sizes a created window exactly, in device pixels.
void setDeviceGeometry(QWindow& window, const QRect& geometry);
// Cuts the window's shape to `region` (device pixels, relative to the window); an empty region
// gives the whole window back.
void setDeviceMask(QWindow& window, const QRegion& region);

// The desktop's default font as large as the toolkit shows it at `ratio` device pixels per unit,
// for text drawn and measured in device pixels.
QFont deviceFont(qreal ratio);

} // namespace vistrel
