// The screen-sized copy of a picture larger than the screen: when one is made, its size, and the
// alpha of 32-bit copies. The resampling itself is in Resampler.h.
#pragma once

#include "ColorManagement.h"
#include "Geometry.h"
#include "Picture.h"
#include "Platform.h"

#include <memory>

namespace vistrel {

// What decides a picture's screen copy. The window passes it down with every open and step; a
// tool makes its own.
struct ScreenCopyPolicy {
    Size screen{1920, 1080};
    // Until the main window exists, pictures are being opened at start-up: a large reduction
    // then takes the fast averaging path, so that the first picture appears quickly.
    bool windowExists = false;
    Capabilities capabilities;
    // Only the screen copy is wanted (the window shows pictures fitted to the screen): a picture
    // that gets one is held as its copy alone, and a JPEG is decoded for it at a reduced scale
    // (1/2, 1/4 or 1/8, the smallest still at least as large as the copy). The full decode is
    // made when something needs the full resolution.
    bool screenCopyOnly = false;
    // With screenCopyOnly, for a picture decoded ahead of time (a neighbour): a large PNG of 24
    // or 32 bits is read at a reduced scale as its rows come, so that its decode never holds
    // much more than the copy it is kept as (48 MB less at 4000x3000). Slower than the full
    // decode, so not for a picture the user waits for.
    bool reducePng = false;
    // The colours pictures are shown in: a picture whose file states a colour space is
    // converted to the display's profile.
    ColorTarget color = {};
};

// Makes or refreshes `fitted`, the screen-sized copy of `source`, when the picture is large
// compared with the screen; leaves it as it is otherwise. A source decoded at a reduced scale
// gives the copy the picture it `standsFor` would get.
void prepareScreenCopy(Picture& source, std::unique_ptr<Picture>& fitted,
                       const ScreenCopyPolicy& policy, Size standsFor = {});
// The size of the screen copy of a picture of that size and depth (a 32-bit one taken as
// without transparency), or an empty size when it gets none.
Size screenCopySize(Size size, int depth, const ScreenCopyPolicy& policy);

// Recomputes the destination's alpha bytes from the source by bilinear interpolation in fixed
// point (10 fraction bits); both must be 32 bits, otherwise nothing happens. The bottom row keeps
// the alpha it had. Reads one pixel past the end of a row at the right edge, which the
// next row or the block's spare bytes provide.
void resampleAlpha(Picture& destination, Picture& source);

} // namespace vistrel
