// vistrel [--new-window] [PICTURE...]: the viewer program. It links no Qt: it answers what needs
// no window, starts the picture's decode, and only then loads the Qt shell (ShellModule.h), whose
// libraries are mapped while the decode runs.
#include "CommandLine.h"
#include "DebugLog.h"
#include "DecoderLibraries.h"
#include "Files.h"
#include "ProgramModule.h"
#include "ScreenGuess.h"
#include "ShellModule.h"
#include "ViewerApp.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The shell is looked for only in the program's own lib/vistrel/ (ProgramModule.h). A failure
// says which file and why (dlerror) and ends the program.
vistrel::ShellMain loadShell() {
    const std::string path =
        vistrel::findProgramModule(VISTREL_SHELL_MODULE_DIR, vistrel::kShellModuleName);
    std::string error;
    if (path.empty()) {
        error = std::string(VISTREL_SHELL_MODULE_DIR "/") + vistrel::kShellModuleName +
                ": not found above " + vistrel::executablePath();
    } else if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (auto entry =
                reinterpret_cast<vistrel::ShellMain>(dlsym(module, vistrel::kShellMainSymbol)))
            return entry;
        error = path + ": no " + vistrel::kShellMainSymbol;
    } else {
        const char* why = dlerror();
        error = why ? why : path;
    }
    std::fprintf(stderr, "vistrel: the window's module cannot be loaded: %s\n", error.c_str());
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const vistrel::CommandLine command = vistrel::ReadCommandLine(argc, argv);
    // `vistrel --help`, `vistrel --version` and a usage error answer without a display.
    if (!command.answer.empty()) {
        const bool written =
            std::fputs(command.answer.c_str(), command.status ? stderr : stdout) >= 0;
        return command.status ? command.status : written ? 0 : 1;
    }

    // The picture is decoded on a thread of its own while the toolkit and the display come up.
    vistrel::ViewerApp app;
    app.beginOpening(command.pictures, {}, vistrel::guessScreenSize);

    // The decode's own run-time library first: the loader opens one library at a time, and the
    // shell's (~14 ms) would hold it back.
    if (!command.pictures.empty()) vistrel::openDecoderLibrariesFor(command.pictures[0].c_str());
    const vistrel::ShellMain shell = loadShell();
    int result = vistrel::kShellNotOfThisBuild;
    if (shell) {
        vistrel::debugLog("shell loaded");
        const vistrel::ShellStart start{argv[0], &command, &app};
        result = shell(VISTREL_VERSION, vistrel::kShellLayout, &start);
        if (result == vistrel::kShellNotOfThisBuild)
            std::fprintf(stderr, "vistrel: the window's module %s is not of this build (%s)\n",
                         vistrel::kShellModuleName, VISTREL_VERSION);
    }
    if (result == vistrel::kShellNotOfThisBuild) {
        // The start-up decode may still run: nothing of this process needs tearing down.
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return result;
}
