// vistrel.exe [PICTURE]: the viewer program on Windows.
#include "CommandLine.h"
#include "DebugLog.h"
#include "DesktopCommands.h"
#include "Prefetcher.h"
#include "Skin.h"
#include "System.h"
#include "TemporaryFiles.h"
#include "ViewerApp.h"
#include "ViewerWindow.h"
#include "Wide.h"
#include "WinDesktop.h"
#include "WinPlatform.h"
#include "WinWindowHost.h"

#include <ole2.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

// A program without a console writes to the output it was given, if any (a command prompt's
// through its console, a script's through its pipe). `which`: STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE.
bool writeOutput(const std::string& text, DWORD which) {
    HANDLE output = GetStdHandle(which);
    if ((!output || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        output = GetStdHandle(which);
    if (!output || output == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return WriteFile(output, text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size();
}

// The user's roaming application data, where the user's own skin lives
// (<AppData>/Quorbane/Vistrel/UI/).
std::string userDataFolder() {
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)))
        path = vistrel::programPath(folder);
    CoTaskMemFree(folder);
    return path;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The arguments from the wide command line, as UTF-8, in the form CommandLine.h reads.
    const std::vector<std::string> arguments = vistrel::programArguments(0, nullptr);
    std::vector<const char*> argv{"vistrel"};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    const vistrel::CommandLine command = vistrel::ReadCommandLine(int(argv.size()), argv.data());
    // `vistrel --help`, `vistrel --version` and a usage error answer without a window.
    if (!command.answer.empty()) {
        const bool written =
            writeOutput(command.answer, command.status ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
        return command.status ? command.status : written ? 0 : 1;
    }

    // The picture is decoded on a thread of its own while the window comes up.
    vistrel::ViewerApp app;
    vistrel::WinPlatform platform;
    app.beginOpening(command.pictures, {}, [&platform]() -> std::optional<vistrel::Size> {
        return platform.primaryScreen().size();
    });
    // The system picture decoder, the clipboard and drags out need OLE on this thread.
    if (FAILED(OleInitialize(nullptr))) return 1;
    vistrel::installPlatform(&platform);
    vistrel::ViewerWindow window(app.pictureDecode());
    vistrel::WinWindowHost host(window, instance);
    vistrel::WinDesktop desktop;
    window.setDesktop(&desktop);
    window.setSkinFolder(vistrel::findSkinFolder(userDataFolder(), vistrel::ProgramFolder()));
    if (!app.start(window, host)) {
        vistrel::Prefetcher::exitIfWorkerAbandoned(1); // the start-up decode may still run
        return 1;
    }
    desktop.setOwner(host.handle());
    // What a crashed or killed instance left for other programs; once the window is up, so that
    // the clearing does not hold back its creation.
    vistrel::ClearLeftoverTemporaryFiles();
    MSG message;
    int result = 0;
    while (BOOL got = GetMessageW(&message, nullptr, 0, 0)) {
        if (got == -1) {
            result = 1;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (message.message == WM_QUIT) result = int(message.wParam);
    // Files offered to drags out of the window; the receiving program has copied them by now.
    vistrel::RemoveTemporaryFiles();
    // A worker abandoned at close may still be decoding: then the process ends here, before
    // anything it may touch is torn down.
    vistrel::Prefetcher::exitIfWorkerAbandoned(result);
    OleUninitialize();
    return result;
}
