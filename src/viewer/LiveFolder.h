// Keeps the pictures in step with their folder on disk: watches the folder they are listed from
// (the platform's FolderWatch, reporting on the window's event loop) and hands every change to
// the prefetch cache, which lists, drops and decodes again accordingly. A picture written over
// the one on show comes back through the cache's arrival call (Changes::reloaded).
#pragma once

#include "FolderWatch.h"
#include "Prefetcher.h"

#include <memory>
#include <string>

namespace vistrel {

class LiveFolder {
public:
    explicit LiveFolder(Prefetcher& pictures) : pictures_(pictures) {}

    // Watches the folder the pictures are listed from now, if it is another than before. Called
    // on the event loop's thread, once the window exists.
    void follow();
    // Watches nothing from now on (the window closes).
    void stop();

private:
    void changed(const FolderChange& change);

    Prefetcher& pictures_;
    std::unique_ptr<FolderWatch> watch_;
    std::string folder_;
};

} // namespace vistrel
