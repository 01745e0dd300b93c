// The BMP writer that drag-out and the desktop background share.
#pragma once

namespace vistrel {

class Picture;

// Writes the picture as an uncompressed BMP file (14-byte file header, the picture's 40-byte
// header and colour table, its rows bottom row first as the format stores them). False, with no
// file left behind, when the picture is empty or cannot be stored as a plain BMP, or the file
// cannot be created or fully written.
bool SaveAsBmp(Picture& picture, const char* path);

} // namespace vistrel
