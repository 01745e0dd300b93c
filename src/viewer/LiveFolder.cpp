#include "LiveFolder.h"

#include "DebugLog.h"
#include "Platform.h"

namespace vistrel {

void LiveFolder::follow() {
    const std::string folder = pictures_.folder();
    if (folder == folder_) return;
    if (!watch_) watch_ = platform().makeFolderWatch([this](const FolderChange& c) { changed(c); });
    folder_ = folder;
    // A folder that cannot be watched is browsed as it was listed, as without a watch.
    if (!watch_->watch(folder)) debugLog("folder watch: %s cannot be watched", folder.c_str());
}

void LiveFolder::stop() {
    watch_.reset();
    folder_.clear();
}

void LiveFolder::changed(const FolderChange& change) {
    switch (change.kind) {
    case FolderChange::Kind::Written:
        debugLog("folder watch: %s written", change.path.c_str());
        pictures_.fileWritten(change.path);
        break;
    case FolderChange::Kind::Removed:
        debugLog("folder watch: %s removed", change.path.c_str());
        pictures_.fileRemoved(change.path);
        break;
    case FolderChange::Kind::Overflowed:
        debugLog("folder watch: changes of %s lost; listing it anew", change.path.c_str());
        pictures_.folderChanged();
        break;
    }
}

} // namespace vistrel
