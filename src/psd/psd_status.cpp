// Text for each status code, for logs and test messages.
#include "psd.h"

namespace {

struct StatusText {
    int status;
    const char* text;
};

constexpr StatusText kTexts[] = {
    {PSD_OK, "success"},
    {PSD_ERR_NO_RESULT, "no place for the result"},
    {PSD_ERR_OPEN, "no path, or the file cannot be opened"},
    {PSD_ERR_STATE, "state out of range"},
    {PSD_ERR_MEMORY, "memory exhausted"},
    {PSD_ERR_SHORT, "empty file, or a header or block shorter than it says"},
    {PSD_ERR_NOT_FILE, "not a regular file"},
    {PSD_ERR_HEADER, "header reader failed"},
    {PSD_ERR_COLOR_MODE_DATA, "colour mode data reader failed"},
    {PSD_ERR_RESOURCES, "image resources reader failed"},
    {PSD_ERR_LAYERS, "layer and mask information reader failed"},
    {PSD_ERR_IMAGE_DATA, "image data reader failed"},
    {PSD_ERR_COLOR_SPACE, "colour space cannot be converted"},
    {PSD_ERR_DEPTH, "depth not 1, 8 or 16"},
    {PSD_ERR_MODE, "colour mode not supported"},
    {PSD_ERR_COMPRESSION, "compression method above 3"},
    {PSD_ERR_SIZE, "picture size or channel count out of range"},
    {PSD_ERR_NO_CONVERSION, "no conversion for this colour mode, depth and channels"},
    {PSD_ERR_BUDGET, "the decode would pass its memory budget"},
    {PSD_ERR_ZIP, "ZIP decompression failed"},
    {PSD_ERR_SIGNATURE, "signature is not 8BPS"},
    {PSD_ERR_VERSION, "version is not 1"},
    {PSD_ERR_RESOURCE_SIGNATURE, "image resource block without 8BIM"},
    {PSD_ERR_LAYER_SIGNATURE, "layer record without 8BIM"},
    {PSD_ERR_LAYER_INFO_SIGNATURE, "additional layer information without 8BIM"},
    {PSD_ERR_SECTION_SIGNATURE, "section divider without 8BIM"},
    {PSD_ERR_PATTERN_VERSION, "pattern version is not 1"},
};

} // namespace

const char* psd_status_text(int status) {
    for (const StatusText& entry : kTexts)
        if (entry.status == status) return entry.text;
    if (const char* text = psd_layer_info_status_text(status)) return text;
    return "unknown status";
}
