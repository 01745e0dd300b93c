// vistrel-bench-decode FILE [RUNS]: loads FILE into a fresh record RUNS times (default 1), as the
// viewer opens a picture, and prints the milliseconds of each load, one per line.
#include "CachedPicture.h"
#include "Platform.h"
#include "QtPlatform.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vistrel-bench-decode FILE [RUNS]\n");
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
        if (!record.load(path.c_str(), vistrel::ScreenCopyPolicy{})) return 1;
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        std::printf("%.2f\n", took.count());
    }
    return 0;
}
