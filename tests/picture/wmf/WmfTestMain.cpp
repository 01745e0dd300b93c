// Runs the WMF tests with the real system picture decoder on a GUI application (offscreen
// unless a platform is set), which Qt needs to draw text.
#include "Platform.h"
#include "QtPlatform.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    vistrel::QtPlatform platform;
    vistrel::installPlatform(&platform);
    const int result = RUN_ALL_TESTS();
    vistrel::installPlatform(nullptr);
    return result;
}
