#include "DevicePixels.h"

#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <qpa/qplatformcursor.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qplatformwindow.h>

#include <cmath>

namespace vistrel {

QRect deviceGeometry(const QScreen& screen) {
    if (const QPlatformScreen* native = screen.handle()) return native->geometry();
    return screen.geometry();
}

QPoint deviceCursorPosition() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        if (const QPlatformScreen* native = screen->handle())
            if (QPlatformCursor* cursor = native->cursor()) return cursor->pos();
    return QCursor::pos();
}

QPoint logicalScreenPoint(QPoint device) {
    // Qt keeps each screen's top-left in device pixels and scales what lies within it; a point
    // on no screen counts from the primary one.
    const QScreen* on = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens())
        if (deviceGeometry(*screen).contains(device)) on = screen;
    if (!on) return device;
    const qreal ratio = on->devicePixelRatio();
    const QPoint offset = device - deviceGeometry(*on).topLeft();
    return on->geometry().topLeft() +
           QPoint(int(std::floor(offset.x() / ratio)), int(std::floor(offset.y() / ratio)));
}

void setDeviceGeometry(QWindow& window, const QRect& geometry) {
    if (QPlatformWindow* native = window.handle()) native->setGeometry(geometry);
}

void setDeviceMask(QWindow& window, const QRegion& region) {
    if (QPlatformWindow* native = window.handle()) native->setMask(region);
}

QFont deviceFont(qreal ratio) {
    QFont font = QGuiApplication::font();
    if (ratio == 1.0) return font;
    if (font.pixelSize() > 0)
        font.setPixelSize(int(std::lround(font.pixelSize() * ratio)));
    else
        font.setPointSizeF(font.pointSizeF() * ratio);
    return font;
}

} // namespace vistrel
