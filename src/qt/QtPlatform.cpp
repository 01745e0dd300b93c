#include "QtPlatform.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QThread>

#include <cstring>

namespace vistrel {

QtPlatform::QtPlatform() {
    // Qt's default limit (128 MB) would refuse pictures the rest of the program accepts; the
    // system decoder's pixel-count check keeps the bound.
    QImageReader::setAllocationLimit(1100);
}

Rect QtPlatform::primaryScreen() {
    // The size of the primary screen's full geometry; without a GUI, 1920x1080. The window's
    // rules place it from (0, 0).
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app && QThread::currentThread() == app->thread())
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return {0, 0, screen->geometry().width(), screen->geometry().height()};
    return {0, 0, 1920, 1080};
}

TextExtent QtPlatform::textExtent(const char* text) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {7 * int(std::strlen(text)), 13};
    const QFontMetrics metrics(QGuiApplication::font());
    return {metrics.horizontalAdvance(QString::fromUtf8(text)), metrics.height()};
}

bool QtPlatform::readSetting(const char* name, std::string& text) {
    // Opened anew for every value, so that a change by another instance is seen.
    const QSettings settings("Quorbane", "Vistrel");
    const QVariant value = settings.value(QString::fromUtf8(name));
    // A list ("1, 2" in the file) is no single value.
    if (!value.isValid() || value.typeId() == QMetaType::QStringList) return false;
    text = value.toString().toStdString();
    return true;
}

int QtPlatform::writeSetting(const char* name, int32_t value) {
    QSettings settings("Quorbane", "Vistrel");
    settings.setValue(QString::fromUtf8(name), value);
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : int(settings.status());
}

} // namespace vistrel
