// What the window asks of the cache of decoded pictures: the picture on show, opening a file and
// stepping through its folder. The program's source is the prefetch cache with its worker; unit
// tests of the window give it records made in memory.
#pragma once

#include "CachedPicture.h"
#include "BitmapLayout.h"

#include <string>

namespace vistrel {

class PictureSource {
public:
    virtual ~PictureSource() = default;

    // The record on show; null when there is none.
    virtual CachedPicture* current() = 0;
    // Decodes the file and makes it the picture on show; false (nothing changed) when it cannot.
    virtual bool open(const char* path) = 0;
    // Steps through the folder; true when `current` now holds the picture to show.
    virtual bool showNext() = 0;
    virtual bool showPrevious() = 0;
    // Makes a clipboard bitmap the picture on show.
    virtual bool adopt(const BitmapDescription& bitmap) = 0;
    // The names of the current folder's list, and the path of one of them ("" past the end).
    virtual int folderCount() = 0;
    virtual std::string folderPathAt(int index) = 0;
    // Ends the background worker; `force` abandons one that does not end at once (closing never
    // waits for a long decode).
    virtual void endWorker(bool force) = 0;
    // Start-up: the main window exists now, so a worker made before it may run.
    virtual void mainWindowCreated() = 0;
};

} // namespace vistrel
