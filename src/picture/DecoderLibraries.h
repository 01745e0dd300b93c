// The libraries a picture's decode opens at run time, opened ahead of it.
#pragma once

namespace vistrel {

// Opens what the decode of the file at `path` will load (TurboJPEG for a JPEG, the codec module
// for WebP, HEIF, AVIF and JPEG XL), told by its first bytes, as the decode itself would: once
// per process, whichever thread comes first. The dynamic loader opens one library at a time, so
// a program that is about to load a large library of its own (the viewer its Qt shell) calls
// this first: otherwise the decode started on another thread would wait for all of that loading
// before it could open its own library. Nothing for a file that is not there or not read that
// way.
void openDecoderLibrariesFor(const char* path);

} // namespace vistrel
