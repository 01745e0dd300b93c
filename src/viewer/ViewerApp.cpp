#include "ViewerApp.h"

#include "CommandLine.h"

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

bool ViewerApp::start(ViewerWindow& window, WindowHost& host, const std::string& commandLine) {
    window.readSettings();
    const std::string path = PathFromCommandLine(commandLine);
    // Opened before the window exists: the layout is computed without it, the screen copy is made
    // for start-up, and a worker started now waits for the window.
    if (!path.empty()) window.openFile(AbsolutePath(path).c_str());
    return window.create(host);
}

} // namespace vistrel
