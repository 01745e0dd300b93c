// The window's text parsers over untrusted text: a settings value as the settings file holds it,
// the command line, and the caption made from a file name and a camera text. The caption must
// stay inside its buffer and never end inside a UTF-8 sequence.
#include "CommandLine.h"
#include "Settings.h"
#include "ViewerWindow.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = uint8_t(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead & 0xC0) == 0x80 || lead >= 0xF8 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((uint8_t(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t value = 0;
    vistrel::ParseSettingValue(text, value);
    const std::string path = vistrel::PathFromCommandLine(text);
    if (path.size() > text.size()) std::abort();

    // The first byte splits the rest into a file name and a camera text.
    if (size < 1) return 0;
    const std::size_t split = size > 1 ? data[0] % size : 0;
    vistrel::CachedPicture record;
    record.picture = std::make_unique<vistrel::Picture>();
    if (!record.picture->create(3, 2, 24, true)) return 0;
    record.path = "/" + text.substr(1, split);
    const std::string camera = text.substr(1 + split).substr(0, 127);
    std::memcpy(record.cameraText, camera.c_str(), camera.size() + 1);
    record.width = 3;
    record.height = 2;
    const std::string caption = vistrel::FormatCaption(record);
    if (caption.size() > vistrel::kCaptionLimit) std::abort();
    // Cut from valid UTF-8, the caption is valid UTF-8: no sequence is split.
    if (ValidUtf8(record.path) && ValidUtf8(camera) && !ValidUtf8(caption)) std::abort();
    return 0;
}
