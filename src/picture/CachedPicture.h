// One decoded file: its picture, its screen-sized copy, where it came from and where it stands
// in the folder relative to the picture on show.
#pragma once

#include "Animation.h"
#include "Geometry.h"
#include "Picture.h"
#include "PictureFormat.h"
#include "Scaling.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vistrel {

// How a decode that starts before the screen is known gets its screen copy policy.
struct PendingPolicy {
    // The policy, waiting for it if need be; asked for at most once.
    std::function<ScreenCopyPolicy()> wait;
    // A likely policy known at once (from the X server, before the toolkit is up): a JPEG's
    // reduced decode starts from it, and is made again when the real one needs more pixels.
    std::optional<ScreenCopyPolicy> guess;
};

class CachedPicture {
public:
    // The decoded picture (fixed storage), made by the first load and reused by later ones.
    std::unique_ptr<Picture> picture;
    // The screen-sized copy; null when none was needed.
    std::unique_ptr<Picture> fitted;
    // For an animated file: the frames after the one in `picture` (the first); null for a still.
    std::shared_ptr<Animation> animation;
    // Which of its frames `picture` holds (0 for a still).
    int frameOnShow = 0;
    // Full path of the decoded file; empty for a picture that came from the clipboard.
    std::string path;
    // Camera make and model from the EXIF data: at most 127 bytes, never a split UTF-8 sequence.
    char cameraText[128] = {};
    // The colour space the file states ("Display P3"), empty when none (describeColorSpace).
    std::string colorSpace;
    // The colours the pixels were converted to; empty when they are as the file holds them (no
    // colour space stated, sRGB, conversion off).
    std::optional<ColorTarget> convertedTo;
    // Size as decoded, before any EXIF turn.
    int32_t width = 0;
    int32_t height = 0;
    // Place in the folder relative to the picture on show: 0 on show, -1 previous, +1 next.
    int32_t relativePosition = 0;
    // What the prefetch cache's memory budget counts for the record: its heldBytes when it last
    // changed there (the cache's threads read this, not the pictures the window may be turning).
    uint64_t budgetBytes = 0;

    // True while the record holds only its screen copy (`fitted`), made from a decode at a
    // reduced scale or from a full decode since dropped; `picture` is empty until a full decode
    // takes its place.
    bool reduced() const { return fullSize_.width > 0; }
    // The picture's size at natural size, after any turn; for a reduced record, the size of its
    // full decode.
    Size size() const;
    // Whether there is something to show: pixels, or the screen copy of a reduced decode.
    bool showable() const;
    // The memory its pictures hold.
    uint64_t heldBytes() const;
    // A reduced record whose screen copy was enlarged from a decode smaller than itself (a HEIF
    // file's thumbnail): a stand-in, whose full decode should follow at once.
    bool coarse() const { return reduced() && coarse_; }
    // Marks the record reduced: its screen copy stands for a picture of `fullSize` (turned).
    void markReduced(Size fullSize, bool coarse = false);
    // Takes the pictures of the full decode of the same file in place of the reduced ones.
    void takeFullDecode(CachedPicture& full);
    // Drops the full picture of a record that has a screen copy, which then stands for it: the
    // record is reduced again, and its full decode is made anew when needed. Returns the picture
    // dropped, for the caller to free; null when nothing was dropped, also for a picture the file
    // cannot give again (a pasted one, one turned since).
    std::unique_ptr<Picture> dropFullPicture();
    // The depth of the picture as decoded (also of a reduced record's full decode).
    int bitsPerPixel() const;
    // Clockwise quarter turns of the picture since its decode, 0 to 3: the frames of an
    // animation composed later are turned as many times.
    int turns() const { return turns_; }

    // Decodes the file by its extension's row of the format table (PictureFormat.h), falling back
    // to the system picture decoder where the row allows it; applies what the file says beside
    // its pixels (applyMetadata) and prepares the screen copy. A failed load says why (the debug
    // log too) and leaves path and size as they were. Where both decoders refuse, the system
    // decoder's reason stands unless it says less (it did not know the bytes, or could only call
    // them malformed).
    DecodeResult load(const char* path, const ScreenCopyPolicy& policy);
    // The same with the policy asked for only when the decode needs it (and at most once): a
    // file's bytes are read and decoded before the screen is known. With the policy's
    // screenCopyOnly, a picture that gets a screen copy keeps only the copy: the record is
    // reduced(). A JPEG is then decoded at the smallest DCT scale (in eighths) that still covers
    // the copy.
    DecodeResult loadAwaitingPolicy(const char* path, const PendingPolicy& policy);
    void reset();

    // Makes or refreshes the screen-sized copy when the picture is large compared with the screen.
    void prepareScreenCopy(const ScreenCopyPolicy& policy);
    // Turns the picture by +90 or -90 degrees; a screen copy, when there is one, is made anew.
    void rotate(int angle, const ScreenCopyPolicy& policy);

private:
    // The one door of PictureMetadata (ApplyMetadata.cpp): keeps the camera text and the colour
    // space's name, turns a CMYK file's inks into colours, stands the picture upright by its
    // orientation, converts its colours to the policy's display and makes the screen copy. With
    // `reducedFrom` (the size a reduced decode stands for, after the orientation) only the screen
    // copy is kept, and only it is converted; `isScreenCopy` says the decode made the copy itself
    // (at its size, before the orientation).
    void applyMetadata(const PictureMetadata& metadata, const ScreenCopyPolicy& policy,
                       Size reducedFrom = {}, bool isScreenCopy = false);
    // A JPEG through the library (see loadAwaitingPolicy).
    // A PNG for a policy that asks for it (reducePng), read at a reduced scale just large enough
    // for its screen copy; nullopt when the file takes the full decode (no copy, a depth below
    // 24 bits, interlaced, or refused: the full decode then says why).
    std::optional<DecodeResult> loadReducedPng(const char* path, const ScreenCopyPolicy& policy);
    // A WebP or HEIF file, through its library's reduced decode (ReducedDecode.h) when the policy
    // (sized by the guess, and decoded again if the real policy wants more) holds the screen copy
    // alone: kOk with `done` set and the record reduced, or the full decode's result with
    // `picture` and `metadata` filled as its row's decode fills them; nullopt for other formats.
    std::optional<DecodeResult>
    loadReducedFirstFrame(const char* path, FormatId format,
                          const std::optional<ScreenCopyPolicy>& guess,
                          const std::function<const ScreenCopyPolicy&()>& policy,
                          PictureMetadata& metadata, bool& done);
    DecodeResult loadJpeg(const char* path, const std::function<const ScreenCopyPolicy&()>& policy,
                          const std::optional<ScreenCopyPolicy>& guess);

    Size fullSize_;        // empty unless reduced
    int turns_ = 0;        // quarter turns since the decode, clockwise, modulo 4
    int droppedDepth_ = 0; // the depth of a full picture dropped
    bool coarse_ = false;  // see coarse()
};

} // namespace vistrel
