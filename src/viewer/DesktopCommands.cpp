#include "DesktopCommands.h"

#include "BmpFile.h"
#include "CachedPicture.h"
#include "Desktop.h"

#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vistrel {

namespace {

bool hasPixels(const CachedPicture* current) {
    return current && current->picture && !current->picture->empty();
}

bool isBmpFile(const std::string& path) {
    const char* extension = extensionOf(path.c_str());
    return extension && strcasecmp(extension, "bmp") == 0;
}

// A new temporary BMP of the picture, or empty when it cannot be written.
std::string writeTemporaryBmp(Picture& picture) {
    std::string name = MakeTempBmpName();
    if (name.empty()) return {};
    if (!SaveAsBmp(picture, name.c_str())) {
        ::unlink(name.c_str());
        return {};
    }
    return name;
}

// Drag files outlive the drag: they go when the program ends.
class KeptFiles {
public:
    ~KeptFiles() { removeAll(); }
    void add(std::string path) {
        std::lock_guard<std::mutex> hold(mutex_);
        paths_.push_back(std::move(path));
    }
    void removeAll() {
        std::lock_guard<std::mutex> hold(mutex_);
        for (const std::string& path : paths_)
            ::unlink(path.c_str());
        paths_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> paths_;
};

KeptFiles& keptFiles() {
    static KeptFiles files;
    return files;
}

} // namespace

bool SetAsWallpaper(Desktop& desktop, CachedPicture* current, bool wallpaperFromAnyFile) {
    if (!hasPixels(current)) return false;
    // A pasted picture has no file to hand over; it gets a temporary BMP on every desktop rather
    // than an empty path, which would clear the background.
    const bool needsBmp =
        current->path.empty() || (!wallpaperFromAnyFile && !isBmpFile(current->path));
    if (!needsBmp) return desktop.setWallpaper(current->path);

    const std::string temporary = writeTemporaryBmp(*current->picture);
    if (temporary.empty()) return false;
    const bool set = desktop.setWallpaper(temporary);
    ::unlink(temporary.c_str());
    return set;
}

bool ShowInFolder(Desktop& desktop, const CachedPicture* current, bool startPage) {
    if (startPage || !current || current->path.empty()) return false;
    struct stat info;
    if (::stat(current->path.c_str(), &info) != 0) return false;
    return desktop.showInFolder(current->path);
}

bool DragOutPicture(Desktop& desktop, CachedPicture* current) {
    if (!current) return false;
    if (!current->path.empty()) return desktop.dragFileOut(current->path);
    if (!hasPixels(current)) return false;
    const std::string temporary = writeTemporaryBmp(*current->picture);
    if (temporary.empty()) return false;
    keptFiles().add(temporary);
    return desktop.dragFileOut(temporary);
}

void RemoveTemporaryFiles() {
    keptFiles().removeAll();
}

std::string UserGuidePath(const std::string& programFolder) {
    if (programFolder.empty()) return {};
    for (const char* place : {"/vistrel-guide.html", "/../share/vistrel/vistrel-guide.html"}) {
        std::string path = programFolder + place;
        if (::access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, std::size_t(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool OpenUserGuide(Desktop& desktop) {
    const std::string guide = UserGuidePath(ProgramFolder());
    return !guide.empty() && desktop.openInBrowser(guide);
}

bool OpenHomePage(Desktop& desktop) {
    return desktop.openInBrowser(kHomePageUrl);
}

} // namespace vistrel
