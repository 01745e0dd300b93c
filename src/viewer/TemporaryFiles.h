// The files the program makes for other programs to read (a pasted picture dragged out, a desktop
// background in a format the desktop cannot read) live in a folder of its own, one subfolder per
// running instance: $XDG_RUNTIME_DIR/vistrel/run-XXXXXX, or <temporary folder>/vistrel-UID/...
// where there is no runtime folder (on Windows <the user's temporary folder>/Vistrel/run-...,
// win/TemporaryFilesWin.cpp). An instance holds a lock on its subfolder while it runs, so a
// later start can tell what a crash or a kill left behind from what a running instance still
// offers to a file manager.
#pragma once

#include <string>

namespace vistrel {

// The temporary folder without a trailing "/": $TMPDIR when set, else /tmp (on Windows the
// user's temporary folder).
std::string TempFolder();

// The folder that holds every instance's subfolder (made private to the user on first use).
std::string TemporaryFilesFolder();

// A new empty file "vtl" + unique part + `suffix` in this instance's subfolder, readable only by
// the user; made now, so that no one else can take the name before it is written. Empty when no
// file can be made (the folder is not private to the user, or cannot be made).
std::string MakeTemporaryFile(const char* suffix);

// Removes this instance's subfolder and everything in it (when the program ends).
void RemoveTemporaryFiles();

// Removes the subfolders of instances that no longer run; returns how many went.
int ClearLeftoverTemporaryFiles();

} // namespace vistrel
