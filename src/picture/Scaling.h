// The screen-sized copy of a picture larger than the screen: when one is made, its size, and the
// alpha of 32-bit copies. The resampling itself is in Resampler.h.
#pragma once

#include "Picture.h"

namespace vistrel {

// Whether the application's main window exists yet. Until the viewer says so (once, when its
// window exists) pictures are being opened at start-up, where a large reduction takes the fast
// averaging path so that the first picture appears quickly. Process-wide; false by default, so
// tools behave like start-up.
void setHasMainWindow(bool exists);
bool hasMainWindow();

// Recomputes the destination's alpha bytes from the source by bilinear interpolation in fixed
// point (10 fraction bits); both must be 32 bits, otherwise nothing happens. The top memory row
// keeps the alpha it had. Reads one pixel past the end of a row at the right edge, which the
// next row or the block's spare bytes provide.
void resampleAlpha(Picture& destination, Picture& source);

} // namespace vistrel
