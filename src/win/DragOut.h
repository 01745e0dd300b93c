// Dragging a file out of the window as the shell's file drags are: a data object offering the
// file as CF_HDROP (a DROPFILES block with the wide path), and a drop source that follows the
// mouse buttons and Esc.
#pragma once

#include <objidl.h>

#include <string>

namespace vistrel {

// A data object holding one file as CF_HDROP; its reference count starts at one.
IDataObject* MakeFileDataObject(const std::wstring& path);

// Runs the drag (copy, move or link) until it ends; true when the file was dropped somewhere.
bool DragFile(const std::wstring& path);

} // namespace vistrel
