// The program is two parts: `vistrel` itself, which links no Qt, reads the command line and starts
// the picture's decode at once, and the Qt shell, vistrel-shell.so (lib/vistrel/ beside the
// program's bin/), which it loads while the decode runs: mapping and relocating Qt and its ~50
// libraries takes ~14 ms that no longer stand before the decode. The shell uses the program's own
// toolkit-neutral code (ViewerApp, the prefetcher, the pictures), which the program exports to it;
// the module exports nothing but its one entry.
#pragma once

#include "CommandLine.h"
#include "ViewerApp.h"

#include <cstddef>

namespace vistrel {

// What the program hands the shell: its command line and the application whose start-up decode
// already runs.
struct ShellStart {
    char* programPath; // argv[0], which Qt takes as it is
    const CommandLine* command;
    ViewerApp* app;
};

// The module's one exported function: runs the window up to the end of its event loop and gives
// the program's exit status. It runs only for a program of its own build (the same version, and
// the same layout of the types handed over); for any other it returns kShellNotOfThisBuild at once.
extern "C" {
using ShellMain = int (*)(const char* version, std::size_t layout, const ShellStart* start);
}
inline constexpr const char* kShellMainSymbol = "vistrel_shell_main";
inline constexpr const char* kShellModuleName = "vistrel-shell.so";
inline constexpr int kShellNotOfThisBuild = -1;
inline constexpr std::size_t kShellLayout =
    sizeof(ShellStart) * 1000003 + sizeof(CommandLine) * 1009 + sizeof(ViewerApp);

} // namespace vistrel
