// Times the placeable WMF player on each file given, through the system decoder, on a GUI
// application (offscreen) so that text is drawn: one line per file with the milliseconds taken.
#include "Platform.h"
#include "QtPlatform.h"
#include "SystemDecoder.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    vistrel::QtPlatform platform;
    vistrel::installPlatform(&platform);
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        vistrel::Picture picture;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = vistrel::decodeWithSystem(bytes.data(), bytes.size(), picture).ok();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        std::printf("%-40s %s %8.1f ms\n", argv[i], ok ? "ok  " : "fail", took.count());
    }
    vistrel::installPlatform(nullptr);
    return 0;
}
