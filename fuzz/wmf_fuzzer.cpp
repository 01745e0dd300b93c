// The placeable WMF player on arbitrary bytes, on a GUI application (offscreen) so that text
// records are drawn too. Inputs without the placeable key get one, so that every run reaches the
// records.
#include "Platform.h"
#include "QtPlatform.h"
#include "SystemDecoder.h"
#include "WmfDevice.h"

#include <QGuiApplication>

#include <cstring>
#include <vector>

// Fontconfig and Qt's font database keep caches for the life of the process, which the exit-time
// leak check would report on every run; the player's own memory is checked by AddressSanitizer.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    static vistrel::QtPlatform platform;
    // The viewer's own limits hold: a picture they let through that passes the fuzzer's memory
    // limit is a finding. The work budget is an eighth of the viewer's (at most a few seconds under
    // the sanitizers), so that a record whose drawing outruns what it is charged shows as a
    // timeout (scripts/fuzz: -timeout=10).
    vistrel::installPlatform(&platform);
    vistrel::setWmfBudget(vistrel::kBudget / 8);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() >= 4) {
        const uint8_t key[4] = {0xD7, 0xCD, 0xC6, 0x9A};
        std::memcpy(bytes.data(), key, 4);
    }
    vistrel::Picture picture;
    vistrel::decodeWithSystem(bytes.data(), bytes.size(), picture);
    return 0;
}
