// vistrel [--new-window] [PICTURE...]: the viewer program. It links no Qt: it answers what needs
// no window, starts the picture's decode, and only then loads the Qt shell (ShellModule.h), whose
// libraries are mapped while the decode runs.
#include "CommandLine.h"
#include "DebugLog.h"
#include "DecoderLibraries.h"
#include "Files.h"
#include "ScreenGuess.h"
#include "ShellModule.h"
#include "ViewerApp.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The shell lies in lib/vistrel/ beside the program's bin/ once installed, and in lib/vistrel/ of
// the build folder a folder or two above the program in a build tree: looked for from where the
// program file really is, never on a search path. The nearest one that exists is loaded; a
// failure says which file and why (dlerror) and ends the program.
vistrel::ShellMain loadShell() {
    const std::string program = vistrel::executablePath();
    std::string folder = program, firstPath, error;
    for (int up = 0; up < 4; ++up) {
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        folder.resize(slash);
        if (up == 0) continue; // the program's own folder
        const std::string path =
            folder + "/" VISTREL_SHELL_MODULE_DIR "/" + vistrel::kShellModuleName;
        if (firstPath.empty()) firstPath = path;
        if (access(path.c_str(), F_OK) != 0) continue;
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            if (auto entry =
                    reinterpret_cast<vistrel::ShellMain>(dlsym(module, vistrel::kShellMainSymbol)))
                return entry;
            error = path + ": no " + vistrel::kShellMainSymbol;
        } else {
            const char* why = dlerror();
            error = why ? why : path;
        }
        break;
    }
    if (error.empty())
        error = (firstPath.empty() ? std::string(vistrel::kShellModuleName) : firstPath) +
                ": not found (nor in lib/vistrel/ further up from " + program + ")";
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
