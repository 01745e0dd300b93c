#include "QtPlatform.h"

#include "DevicePixels.h"
#include "InotifyFolderWatch.h"

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

namespace {

// The primary screen, asked on the application's thread only; none without a GUI.
const QScreen* primary() {
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return nullptr;
    return QGuiApplication::primaryScreen();
}

} // namespace

Rect QtPlatform::primaryScreen() {
    // The primary screen's full geometry in device pixels: its origin, which another monitor
    // left of or above it moves away from (0, 0), and its size as the picture's pixels count it
    // whatever the desktop's scale. Without a GUI, 1920x1080.
    if (const QScreen* screen = primary()) {
        const QRect g = deviceGeometry(*screen);
        return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
    return {0, 0, 1920, 1080};
}

double QtPlatform::screenScale() {
    const QScreen* screen = primary();
    return screen ? screen->devicePixelRatio() : 1.0;
}

TextExtent QtPlatform::textExtent(const char* text) {
    const QScreen* screen = primary();
    if (!screen) return {7 * int(std::strlen(text)), 13};
    // In device pixels, as the window draws its text.
    const QFontMetrics metrics(deviceFont(screen->devicePixelRatio()));
    return {metrics.horizontalAdvance(QString::fromUtf8(text)), metrics.height()};
}

std::optional<int32_t> QtPlatform::readSetting(const char* name) {
    // Opened anew for every value, so that a change by another instance is seen.
    const QSettings settings("Quorbane", "Vistrel");
    const QVariant stored = settings.value(QString::fromUtf8(name));
    // A list ("1, 2" in the file) is no single value.
    if (!stored.isValid() || stored.typeId() == QMetaType::QStringList) return std::nullopt;
    int32_t value = 0;
    if (!ParseSettingValue(stored.toString().toStdString(), value)) return std::nullopt;
    return value;
}

int QtPlatform::writeSetting(const char* name, int32_t value) {
    QSettings settings("Quorbane", "Vistrel");
    settings.setValue(QString::fromUtf8(name), value);
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : int(settings.status());
}

std::unique_ptr<FolderWatch> QtPlatform::makeFolderWatch(const FolderWatch::Listener& listener) {
    return std::make_unique<InotifyFolderWatch>(listener);
}

std::shared_ptr<const std::vector<uint8_t>> QtPlatform::displayProfile() {
    return displayProfile_ ? displayProfile_->current() : nullptr;
}

void QtPlatform::watchDisplayProfile(std::function<void()> changed) {
    displayProfile_ = std::make_unique<X11DisplayProfile>(std::move(changed));
}

bool QtPlatform::compositing() {
    return !compositor_ || compositor_->compositing();
}

void QtPlatform::watchCompositor(std::function<void()> changed) {
    compositor_ = std::make_unique<X11CompositorWatch>(std::move(changed));
}

} // namespace vistrel
