// The door through which what a file says beside its pixels reaches the picture on show.
#include "CachedPicture.h"

#include "Animation.h"
#include "ColorManagement.h"
#include "Orientation.h"
#include "Utf8.h"

#include <cstring>
#include <utility>

namespace vistrel {

void CachedPicture::applyMetadata(const PictureMetadata& metadata, const ScreenCopyPolicy& policy,
                                  Size reducedFrom, bool isScreenCopy) {
    // A record loaded anew keeps nothing of the file it held before.
    const std::size_t length = utf8Prefix(metadata.cameraText.c_str(), sizeof cameraText - 1);
    std::memcpy(cameraText, metadata.cameraText.c_str(), length);
    cameraText[length] = '\0';
    colorSpace = describeColorSpace(metadata);
    convertedTo.reset();

    // Inks become colours before anything is made of them; the colours of every other picture
    // are converted where it costs least: the whole picture, or only a reduced decode's screen
    // copy. The orientation comes before the screen copy, whose size follows it.
    if (metadata.inks && convertInkPicture(*picture, metadata, policy.color))
        convertedTo = policy.color;
    orientPicture(*picture, metadata.orientation);
    // The frames after the first go through the same step as they are composed, with the
    // transform made once here.
    if (metadata.animation)
        metadata.animation->finishFrames(
            {metadata.orientation,
             targetTransform(metadata, policy.color, picture->bitsPerPixel())});
    if (reducedFrom.width <= 0) {
        if (convertToTarget(*picture, metadata, policy.color)) convertedTo = policy.color;
        prepareScreenCopy(policy);
        return;
    }
    if (isScreenCopy) {
        fitted = std::exchange(picture, std::make_unique<Picture>());
    } else {
        vistrel::prepareScreenCopy(*picture, fitted, policy, reducedFrom);
    }
    if (fitted && convertToTarget(*fitted, metadata, policy.color)) convertedTo = policy.color;
    picture->release(AfterUse::Release);
    markReduced(reducedFrom);
}

} // namespace vistrel
