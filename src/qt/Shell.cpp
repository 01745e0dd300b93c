// The Qt shell of the viewer program, vistrel-shell.so (ShellModule.h): the toolkit, the one window
// on the session bus, the platform and the window, up to the end of the event loop.
#include "CommandLine.h"
#include "DebugLog.h"
#include "DesktopCommands.h"
#include "OneWindow.h"
#include "Prefetcher.h"
#include "QtDesktop.h"
#include "QtPlatform.h"
#include "QtWindowHost.h"
#include "QuitOnSignals.h"
#include "ShellModule.h"
#include "Skin.h"
#include "TemporaryFiles.h"
#include "ViewerApp.h"
#include "ViewerWindow.h"

#include <QApplication>

#include <cstring>
#include <string>

namespace {

int runShell(const vistrel::ShellStart& start) {
    const vistrel::CommandLine& command = *start.command;
    vistrel::ViewerApp& app = *start.app;

    // A window that places itself and stays on top needs X11 (XWayland on Wayland desktops).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt gets none of the arguments: every command line names a picture, also one that looks
    // like a Qt option ("-display x.png"). "-name" gives the window its WM_CLASS instance
    // "vistrel" whatever the program file is called.
    char instanceOption[] = "-name", instanceName[] = "vistrel";
    char* qtArguments[] = {start.programPath, instanceOption, instanceName, nullptr};
    int qtArgumentCount = 3;
    QApplication application(qtArgumentCount, qtArguments);
    vistrel::debugLog("toolkit and display up");
    QApplication::setOrganizationName("Quorbane");
    QApplication::setApplicationName("Vistrel");
    QApplication::setDesktopFileName("vistrel");
    QApplication::setQuitOnLastWindowClosed(false); // the window's close path ends the loop

    // A window that already runs shows this start's pictures, or comes to the front for a start
    // without any, unless --new-window asks for one of its own.
    vistrel::OneWindow oneWindow;
    if (!command.newWindow && oneWindow.handOver(app.picturePaths())) {
        vistrel::Prefetcher::exitIfWorkerAbandoned(0); // the start-up decode may still run
        return 0;
    }

    vistrel::QtPlatform platform;
    vistrel::installPlatform(&platform);
    vistrel::ViewerWindow window(app.pictureDecode());
    // The display's colour profile, before the first picture's colours are converted to it.
    platform.watchDisplayProfile([&window] { window.onDisplayProfileChanged(); });
    // Translucent pixels are blended over the window's background while no compositor runs.
    platform.watchCompositor([&window] { window.onCompositingChanged(); });
    vistrel::QtWindowHost host(window);
    vistrel::QtDesktop desktop(&host.widget()); // drags out start from the window
    window.setDesktop(&desktop);
    window.setSkinFolder(
        vistrel::findSkinFolder(vistrel::userDataFolder(), vistrel::ProgramFolder()));
    if (!app.start(window, host)) {
        vistrel::Prefetcher::exitIfWorkerAbandoned(1); // the start-up decode may still run
        return 1;
    }
    // A session's end (SIGTERM), Ctrl+C or the terminal closing (SIGHUP) closes the window as
    // Esc does.
    vistrel::QuitOnSignals quit([&host] { host.postClose(); });
    // What later starts hand over opens as a dropped file does (several: the list to step
    // through), and the window comes to the front.
    oneWindow.serve([&window, &host](const std::vector<std::string>& paths) {
        if (!host.exists()) return false;
        if (!paths.empty())
            window.openFile(paths[0].c_str(),
                            paths.size() > 1 ? paths : std::vector<std::string>{});
        host.activate();
        return true;
    });
    // What a crashed or killed instance left for file managers; once the window is up, so that
    // the clearing does not hold back its creation.
    vistrel::ClearLeftoverTemporaryFiles();
    const int result = application.exec();
    // Files offered to drags out of the window; a file manager has copied them by now.
    vistrel::RemoveTemporaryFiles();
    // A worker abandoned at close may still be decoding: then the process ends here, before
    // anything it may touch is torn down.
    vistrel::Prefetcher::exitIfWorkerAbandoned(result);
    return result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
vistrel_shell_main(const char* version, std::size_t layout, const vistrel::ShellStart* start) {
    if (std::strcmp(version, VISTREL_VERSION) != 0 || layout != vistrel::kShellLayout)
        return vistrel::kShellNotOfThisBuild;
    return runShell(*start);
}
