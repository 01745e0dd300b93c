#include "ViewerApp.h"

#include "CommandLine.h"
#include "Scaling.h"
#include "Settings.h"

#include <filesystem>

namespace vistrel {

namespace {

// Folder browsing and the decoders need the picture's folder, so a relative path is taken from
// the working folder. Nothing else of the path changes.
std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

} // namespace

bool ViewerApp::InitInstance(ViewerWindow& window, WindowHost& host, const std::string& commandLine) {
    if (ReadSetting("NoneScale") == 1) window.flags &= ~FitToScreen;

    const int32_t place = ReadSetting("LockPlace");
    // A stored place beyond the nine anchors is not a lock place.
    if (place >= 0 && place <= 8) {
        window.lockPlace = place;
        window.lockAnchorX = ReadSetting("xLockPlace");
        window.lockAnchorY = ReadSetting("yLockPlace");
        if (ReadSetting("UserLock") > 0) window.userLock = true;
    }

    const std::string path = PathFromCommandLine(commandLine);
    // Opened before the window exists: the layout is computed without it, and a worker started
    // now waits for the window.
    const bool opened = !path.empty() && window.OpenFile(AbsolutePath(path).c_str());

    if (!window.Create(host)) return false;
    if (opened) window.UpdateCaption();
    // From now on a large picture is reduced with the filtered resampler, and the worker made
    // while there was no window may run.
    setHasMainWindow(true);
    window.Source().mainWindowCreated();
    return true;
}

} // namespace vistrel
