// The two file helpers that drag-out and the desktop background share: a BMP writer and a new
// temporary ".bmp" name.
#pragma once

#include <string>

namespace vistrel {

class Picture;

// Writes the picture as an uncompressed BMP file (14-byte file header, the picture's 40-byte
// header and colour table, its bottom-up rows). False, with no file left behind, when the picture
// is empty or cannot be stored as a plain BMP, or the file cannot be created or fully written.
bool SaveAsBmp(Picture& picture, const char* path);

// A new name "vtl" + unique part + ".bmp" in the temporary folder ($TMPDIR, else /tmp). The file
// is created empty and only for this process's user, so no other process can take the name
// between now and the write; the caller removes it when done. Empty when no file can be made.
std::string MakeTempBmpName();

// The temporary folder without a trailing "/": $TMPDIR when set, else /tmp.
std::string TempFolder();

} // namespace vistrel
