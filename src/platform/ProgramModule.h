// Where the program finds a module of its own (the Qt shell, the codec module): in FOLDER/ beside
// the program's bin/ once installed, and in FOLDER/ of the build folder a folder or two above a
// program in a build tree. Looked for from where the program file really is, never on a search
// path, so that a library of the same name elsewhere is never taken for ours.
#pragma once

#include <string>

namespace vistrel {

// The nearest FOLDER/NAME that is a regular file, looked for in each folder above the program's
// own (up to three); empty when there is none. FOLDER may hold "/" ("lib/vistrel").
std::string findProgramModule(const char* folder, const char* name);

} // namespace vistrel
