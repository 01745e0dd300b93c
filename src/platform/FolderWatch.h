// Watching one folder for its files changing on disk, reported on the window's event loop: the
// viewer keeps its list of pictures, and the picture on show, in step with what editors and file
// managers do to the folder. No polling: where the system cannot tell, nothing is reported.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vistrel {

struct FolderChange {
    enum class Kind {
        // The file was written and closed, or came into the folder whole (renamed into it, a
        // link made): written over in place, or by writing another file and renaming it over.
        Written,
        // The file left the folder (deleted, or renamed or moved away: to the trash too).
        Removed,
        // Changes were lost (too many at once): anything in the folder may have changed.
        Overflowed,
    };
    Kind kind = Kind::Written;
    std::string path; // the folder's path and the file's name; the folder's alone for Overflowed
};

class FolderWatch {
public:
    // Called on the event loop's thread, once per change, in the order they happened.
    using Listener = std::function<void(const FolderChange&)>;

    virtual ~FolderWatch() = default;
    // Watches `folder` (a path ending in "/") instead of the one watched before; the empty path
    // watches nothing. False when the folder cannot be watched (then nothing is).
    virtual bool watch(const std::string& folder) = 0;
};

// A watch that reports nothing: where the platform has no way to watch folders.
class InertFolderWatch final : public FolderWatch {
public:
    bool watch(const std::string& folder) override { return folder.empty(); }
};

} // namespace vistrel
