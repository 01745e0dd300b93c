// vistrel-bench-decode [--window|--fitted] FILE [RUNS]: loads FILE into a fresh record RUNS times
// (default 1), as the viewer opens a picture at start-up, and prints the milliseconds of each
// load, one per line. With --window, as the window (1920x1080) loads the picture it steps to: the
// full decode and its filtered screen copy; with --fitted the same when the window fits pictures
// to the screen and wants only the copy, which a format's reduced decode may give at once.
#include "CachedPicture.h"
#include "Platform.h"
#include "QtPlatform.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
    const bool fitted = argc > 1 && std::strcmp(argv[1], "--fitted") == 0;
    const bool window = fitted || (argc > 1 && std::strcmp(argv[1], "--window") == 0);
    if (window) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: vistrel-bench-decode [--window|--fitted] FILE [RUNS]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    vistrel::QtPlatform platform;
    vistrel::installPlatform(&platform);
    const std::string path = std::filesystem::absolute(argv[1]).string();
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        vistrel::CachedPicture record;
        vistrel::ScreenCopyPolicy policy;
        policy.windowExists = window;
        policy.screenCopyOnly = fitted;
        if (!record.load(path.c_str(), policy)) return 1;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        std::printf("%.2f\n", took.count());
    }
    return 0;
}
