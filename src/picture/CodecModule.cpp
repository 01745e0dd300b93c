#include "CodecModule.h"

#include "DebugLog.h"
#include "System.h"

#include <mutex>

namespace vistrel {

namespace {

const CodecEntries* entries = nullptr;
std::once_flag loadOnce;

void load() {
    void* module = openLibrary(kCodecModuleName);
    if (!module) {
        debugLog("%s not loaded: WebP, HEIF, AVIF and JPEG XL files are not read",
                 kCodecModuleName);
        return;
    }
    const auto entriesOf =
        reinterpret_cast<CodecEntriesOf>(librarySymbol(module, kCodecEntriesSymbol));
    entries = entriesOf ? entriesOf(VISTREL_VERSION, kCodecLayout) : nullptr;
    if (!entries) debugLog("%s is not of this build: not used", kCodecModuleName);
}

} // namespace

const CodecEntries* codecModule() {
    std::call_once(loadOnce, load);
    return entries;
}

} // namespace vistrel
