#include "CodecModule.h"

#include "DebugLog.h"
#include "ProgramModule.h"
#include "System.h"

#include <mutex>
#include <string>

namespace vistrel {

namespace {

const CodecEntries* entries = nullptr;
std::once_flag loadOnce;

// Looked for only in the program's own lib/vistrel/ (ProgramModule.h). A sanitizer's dlopen is
// its own caller, so that not even the program's run path could be relied on.
void* openModule() {
    const std::string path = findProgramModule(VISTREL_CODEC_MODULE_DIR, kCodecModuleName);
    return path.empty() ? nullptr : openLibrary(path.c_str());
}

void load() {
    void* module = openModule();
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
