// The platform on Qt 6: the primary screen, Qt's image readers, the default font and the
// settings.
#pragma once

#include "CompositorWatch.h"
#include "DisplayProfile.h"
#include "Platform.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace vistrel {

class QtPlatform final : public Platform {
public:
    QtPlatform();
    // In device pixels. Asked on the application's thread only (the window passes the screen on
    // to the worker).
    Rect primaryScreen() override;
    DecodeResult decodeSystemPicture(const uint8_t* data, std::size_t size,
                                     SystemImageSink& sink) override;
    // In device pixels. Needs a QGuiApplication; without one, the headless measure of 7 x 13 per
    // character.
    TextExtent textExtent(const char* text) override;
    // The primary screen's device pixel ratio; 1 without a GUI.
    double screenScale() override;
    // QSettings("Quorbane", "Vistrel"): ~/.config/Quorbane/Vistrel.conf on Linux.
    std::optional<int32_t> readSetting(const char* name) override;
    int writeSetting(const char* name, int32_t value) override;
    // inotify, read on the event loop (InotifyFolderWatch).
    std::unique_ptr<FolderWatch> makeFolderWatch(const FolderWatch::Listener& listener) override;
    // The X root window's _ICC_PROFILE once watchDisplayProfile was called; null (sRGB) before,
    // and where there is none.
    std::shared_ptr<const std::vector<uint8_t>> displayProfile() override;
    // Reads the display's profile and watches it; `changed` runs on the application's thread
    // after it changed. Needs the QGuiApplication.
    void watchDisplayProfile(std::function<void()> changed);
    // Whether a compositing manager runs, once watchCompositor was called; yes before.
    bool compositing() override;
    // Follows the compositor as it comes and goes; `changed` runs on the application's thread
    // when it did. Needs the QGuiApplication.
    void watchCompositor(std::function<void()> changed);

private:
    // Pictures of more pixels are refused, as every decoder refuses them.
    static constexpr int64_t maxPixels_ = int64_t(1) << 28;
    std::unique_ptr<X11DisplayProfile> displayProfile_;
    std::unique_ptr<X11CompositorWatch> compositor_;
};

} // namespace vistrel
