// Runs the picture tests with the real system picture decoder installed where Qt is built.
#include "Platform.h"

#include <gtest/gtest.h>

#ifdef VISTREL_WITH_QT
#include "QtPlatform.h"
#include <QCoreApplication>
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
#else
    return RUN_ALL_TESTS();
#endif
}
