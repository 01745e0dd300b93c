// Runs the picture tests with the real system picture decoder installed: Qt's, or on Windows
// OLE's.
#include "Platform.h"

#include <gtest/gtest.h>

#ifdef VISTREL_WITH_QT
#include "QtPlatform.h"
#include <QCoreApplication>
#elif defined(VISTREL_WITH_WIN)
#include "WinPlatform.h"
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef VISTREL_WITH_QT
    QCoreApplication app(argc, argv);
    vistrel::QtPlatform qtPlatform;
    vistrel::installPlatform(&qtPlatform);
    const int result = RUN_ALL_TESTS();
    vistrel::installPlatform(nullptr);
    return result;
#elif defined(VISTREL_WITH_WIN)
    vistrel::WinPlatform winPlatform;
    vistrel::installPlatform(&winPlatform);
    const int result = RUN_ALL_TESTS();
    vistrel::installPlatform(nullptr);
    return result;
#else
    return RUN_ALL_TESTS();
#endif
}
