// The system picture decoder's path (Qt's GIF, ICO, CUR, BMP and JPEG readers behind our format
// checks and icon choice) on arbitrary bytes, into a fresh 24-bit target and a reused 32-bit one.
#include "SystemDecoder.h"
#include "Platform.h"
#include "QtPlatform.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static vistrel::QtPlatform platform;
    // Pictures of up to 2^28 pixels take the sanitized readers many seconds; the guards against
    // what headers announce are exercised just the same at 2^22.
    platform.limitPixels(int64_t(1) << 22);
    vistrel::installPlatform(&platform);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::Picture fresh;
    vistrel::decodeWithSystem(data, size, fresh);
    vistrel::Picture deeper;
    if (size > 2 && deeper.create(1 + data[0] % 64, 1 + data[1] % 64, 32, false))
        vistrel::decodeWithSystem(data, size, deeper);
    return 0;
}
