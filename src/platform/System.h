// What the program asks of the operating system besides files: the machine's memory, thread
// priorities, the process clock, libraries loaded at run time, the command line and the locale's
// collation. POSIX: SystemPosix.cpp; Windows: win/SystemWin.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

// The machine's physical memory in bytes; 0 when it cannot be told.
uint64_t physicalMemoryBytes();

// Lowers the calling thread's priority one step below the window thread's, so that on a busy
// machine the window (and the display drawing its frames) wins.
void lowerThreadPriority();

// Milliseconds since the process started, so that a trace of the start-up lines up with a timing
// taken from outside the program.
double millisecondsSinceProcessStart();

// A shared library loaded at run time, never linked: null when it is not there. On Windows only
// the program's own folder is searched, so that a library of that name elsewhere on the search
// path (the working folder) is never taken instead.
void* openLibrary(const char* name);
void* librarySymbol(void* library, const char* name);
void closeLibrary(void* library);

// The program's arguments after its name, as UTF-8 (on Windows read from the wide command line:
// the arguments `main` gets are in the user's code page and lose what it cannot hold).
std::vector<std::string> programArguments(int argc, char** argv);

// A key that orders texts as the user's locale collates them, without regard to case; keys
// compare with std::wstring's operator<. The text is Unicode code points.
std::wstring localeSortKey(std::u32string_view text);

} // namespace vistrel
