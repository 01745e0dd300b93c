#include "CodecModule.h"

#include "DebugLog.h"
#include "Files.h"
#include "System.h"

#include <mutex>
#include <string>

namespace vistrel {

namespace {

const CodecEntries* entries = nullptr;
std::once_flag loadOnce;

// The module lies in lib/vistrel/ beside the program's bin/ once installed, and in lib/vistrel/ of
// the build folder a folder or two above a program in a build tree: looked for from the program's
// own place (where the file really is), never on a search path. A sanitizer's dlopen is its own
// caller, so that not even the program's run path could be relied on.
void* openModule() {
    std::string folder = executablePath();
    for (int up = 0; up < 4; ++up) {
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        folder.resize(slash);
        if (up == 0) continue; // the program's own folder
        const std::string path = folder + "/" VISTREL_CODEC_MODULE_DIR "/" + kCodecModuleName;
        if (void* module = openLibrary(path.c_str())) return module;
    }
    return nullptr;
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
