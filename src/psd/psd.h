// The PSD reader: a self-contained reader of layered image files in the published PSD format
// (signature "8BPS"; version 1, and version 2, the large document format PSB; depths 1, 8 and 16
// bits per channel). Plain procedural code: every
// function takes the PsdContext first and returns an int status, 0 for success and one of the
// negative PsdStatus codes for failure. All multi-byte values in the file are big-endian.
//
// psd_open reads the whole file and leaves the merged picture in `merged`: one 32-bit word per
// pixel, 0xAARRGGBB in host (little-endian) order, so the bytes of a pixel are blue, green, red,
// alpha; row 0 is the top row; rows are not padded; alpha is 0xFF where the file has no alpha
// plane.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vistrel {
class InputFile;
}

// Status codes. 0 is success; everything that can leave psd_open is listed here.
enum PsdStatus : int {
    PSD_OK = 0,
    PSD_ERR_NO_RESULT = -1, // no place for the result (or no record given)
    PSD_ERR_OPEN = -2,      // no path, or the file cannot be opened
    PSD_ERR_STATE = -3,     // state out of range; inside a section reader: a generic failure
    PSD_ERR_MEMORY = -4,    // an allocation failed
    PSD_ERR_SHORT = -5,     // empty file, or a header or block shorter than it says
    PSD_ERR_NOT_FILE = -6,  // the path names something other than a regular file
    PSD_ERR_HEADER = -10,   // the section readers' -3, mapped per section
    PSD_ERR_COLOR_MODE_DATA = -11,
    PSD_ERR_RESOURCES = -12,
    PSD_ERR_LAYERS = -13,
    PSD_ERR_IMAGE_DATA = -14,
    PSD_ERR_COLOR_SPACE = -15,   // psd_color_to_rgb: a colour space it cannot convert
    PSD_ERR_DEPTH = -18,         // depth not 1, 8 or 16
    PSD_ERR_MODE = -19,          // colour mode not 0, 1, 2, 3, 4, 7, 8 or 9
    PSD_ERR_COMPRESSION = -20,   // compression method above 3
    PSD_ERR_SIZE = -21,          // a side of 0 or above 30,000 (PSB: 300,000), more than 2^28
                                 // pixels, or a channel count of 0 or above 56
    PSD_ERR_NO_CONVERSION = -22, // a colour mode and depth pair without a conversion, or fewer
                                 // channels than the colour mode needs
    PSD_ERR_BUDGET = -23,        // the decode would pass its memory budget
    PSD_ERR_ZIP = -101,          // ZIP decompression failed
    PSD_ERR_SIGNATURE = -200,    // not "8BPS"
    PSD_ERR_VERSION = -201,      // version is neither 1 (PSD) nor 2 (PSB)
    PSD_ERR_RESOURCE_SIGNATURE = -400, // an image resource block without "8BIM"
    // The layer and mask information section and its patterns.
    PSD_ERR_LAYER_SIGNATURE = -500,      // a layer record without "8BIM" before its blend mode
    PSD_ERR_LAYER_INFO_SIGNATURE = -528, // an additional-information block without "8BIM"
    PSD_ERR_SECTION_SIGNATURE = -529,    // a section divider ("lsct") without "8BIM"
    PSD_ERR_PATTERN_VERSION = -531,      // a pattern whose version is not 1

    // Adjustment, fill and type layers and layer effects.
    PSD_ERR_LEVELS_VERSION = -503,             // "levl" version not 2
    PSD_ERR_LEVELS_EXTENSION_SIGNATURE = -505, // "levl" extension not "Lvls"
    PSD_ERR_LEVELS_LENGTH = -506,              // "levl" block not consumed exactly
    PSD_ERR_LEVELS_EXTENSION_VERSION = -507,   // "levl" extension version not 3
    PSD_ERR_CURVES_VERSION = -508,             // "curv" version neither 1 nor 4
    PSD_ERR_CURVES_EXTENSION_SIGNATURE = -509, // "curv" extension not "Crv "
    PSD_ERR_CURVES_EXTENSION_VERSION = -510,   // "curv" extension version not 4
    PSD_ERR_HUE_SATURATION_VERSION = -511,     // "hue2" version not 2
    PSD_ERR_SELECTIVE_COLOR_VERSION = -512,    // "selc" version not 1
    PSD_ERR_CHANNEL_MIXER_VERSION = -513,      // "mixr" version not 1
    PSD_ERR_PHOTO_FILTER_VERSION = -514,       // "phfl" version neither 2 nor 3
    PSD_ERR_GRADIENT_MAP_VERSION = -515,       // "grdm" version not 1
    PSD_ERR_EFFECTS_VERSION = -516,            // "lrFX" or "lfx2" version not known
    PSD_ERR_EFFECT_SIGNATURE = -517,           // an "lrFX" effect without "8BIM"
    PSD_ERR_EFFECT_KEY = -518,                 // an "lrFX" effect key not known
    PSD_ERR_EFFECTS_COMMON_VERSION = -519,     // "lrFX" "cmnS" version not 0
    PSD_ERR_SOLID_COLOR_VERSION = -525,        // "SoCo" descriptor version not 16
    PSD_ERR_GRADIENT_FILL_VERSION = -526,      // "GdFl" descriptor version not 16
    PSD_ERR_PATTERN_FILL_VERSION = -530,       // "PtFl" descriptor version not 16
    PSD_ERR_NEGATIVE_COUNT = -540,             // a count stored as signed 16 bits is negative
};

// Text for the codes of the adjustment, fill, type and effect blocks; null for other codes.
const char* psd_layer_info_status_text(int status);

// Text for a status code, for logs and test messages.
const char* psd_status_text(int status);

// Limits of the format (and of what the reader accepts) checked before anything is allocated.
inline constexpr uint32_t kPsdMaxSide = 30000;
inline constexpr uint32_t kPsbMaxSide = 300000; // the large document format
inline constexpr uint64_t kPsdMaxPixels = uint64_t(1) << 28;
inline constexpr uint32_t kPsdMaxChannels = 56;
inline constexpr uint32_t kPsdReadBufferSize = 4096;

enum PsdColorMode : uint32_t {
    PSD_MODE_BITMAP = 0,
    PSD_MODE_GRAYSCALE = 1,
    PSD_MODE_INDEXED = 2,
    PSD_MODE_RGB = 3,
    PSD_MODE_CMYK = 4,
    PSD_MODE_MULTICHANNEL = 7,
    PSD_MODE_DUOTONE = 8,
    PSD_MODE_LAB = 9,
};

// Result of psd_read_blend_mode; any key not in the list reads as NORMAL.
enum PsdBlendMode : int32_t {
    PSD_BLEND_NORMAL = 0,   // "norm"
    PSD_BLEND_DISSOLVE,     // "diss"
    PSD_BLEND_DARKEN,       // "dark"
    PSD_BLEND_MULTIPLY,     // "mul "
    PSD_BLEND_COLOR_BURN,   // "idiv"
    PSD_BLEND_LINEAR_BURN,  // "lbrn"
    PSD_BLEND_LIGHTEN,      // "lite"
    PSD_BLEND_SCREEN,       // "scrn"
    PSD_BLEND_COLOR_DODGE,  // "div "
    PSD_BLEND_LINEAR_DODGE, // "lddg"
    PSD_BLEND_OVERLAY,      // "over"
    PSD_BLEND_SOFT_LIGHT,   // "sLit"
    PSD_BLEND_HARD_LIGHT,   // "hLit"
    PSD_BLEND_VIVID_LIGHT,  // "vLit"
    PSD_BLEND_LINEAR_LIGHT, // "lLit"
    PSD_BLEND_PIN_LIGHT,    // "pLit"
    PSD_BLEND_HARD_MIX,     // "hMix"
    PSD_BLEND_DIFFERENCE,   // "diff"
    PSD_BLEND_EXCLUSION,    // "smud"
    PSD_BLEND_HUE,          // "hue "
    PSD_BLEND_SATURATION,   // "sat "
    PSD_BLEND_COLOR,        // "colr"
    PSD_BLEND_LUMINOSITY,   // "lum "
    PSD_BLEND_PASS_THROUGH, // "pass"
    // Modes the format added later, numbered after the first ones.
    PSD_BLEND_DARKER_COLOR,  // "dkCl"
    PSD_BLEND_LIGHTER_COLOR, // "lgCl"
    PSD_BLEND_SUBTRACT,      // "fsub"
    PSD_BLEND_DIVIDE,        // "fdiv"
};

// ---------------------------------------------------------------------------------------------
// Records

struct PsdStream {
    const char* path;         // the caller's path; valid only during psd_open
    vistrel::InputFile* file; // open while loading; closed when loading ends
    const uint8_t* memory;    // or the file's bytes, held by the caller (no file then)
    uint64_t offset;          // where the next read of the file or the memory starts
    uint8_t* buffer;          // kPsdReadBufferSize bytes, allocated on the first read or skip
    uint32_t fill;            // valid bytes in the buffer
    uint32_t position;        // next unread byte in the buffer
    int64_t file_size;        // measured once at open
    uint64_t consumed;        // bytes delivered or skipped since the start of the file
    uint8_t short_read;       // set once any read delivered fewer bytes than asked
};

// One alpha channel named by resources 1006, 1045 or 1053; pixels filled from the merged image.
struct PsdAlphaChannel {
    char name[256];               // Pascal name characters, zero-filled after
    uint32_t unicode_name_length; // UTF-16 units
    uint8_t* unicode_name;        // big-endian UTF-16 as in the file, not terminated
    uint32_t identifier;
    uint8_t* pixels; // width x height bytes (large-buffer allocation)
};

struct PsdKnot {
    uint8_t linked;
    float preceding_y, preceding_x, anchor_y, anchor_x, leaving_y, leaving_x;
};

struct PsdSubpath {
    uint8_t closed;
    int32_t knot_count;
    int32_t knots_read; // knots filled so far (records beyond knot_count are skipped)
    PsdKnot* knots;
};

// One path resource (ids 2000 to 2998).
struct PsdPath {
    uint16_t resource_id;
    int32_t subpath_count;
    int32_t subpath_capacity;
    PsdSubpath* subpaths;
    float clipboard_top, clipboard_left, clipboard_bottom, clipboard_right;
    float clipboard_resolution;
    uint8_t initial_fill_rule;
};

struct PsdColorSampler {
    uint32_t vertical, horizontal;
    int32_t color_space;
};

struct PsdSlice {
    uint32_t id, group_id, origin, layer_id;
    uint32_t type, left, top, right, bottom;
    uint8_t cell_text_is_html;
    uint32_t horizontal_alignment, vertical_alignment;
    uint32_t color; // 0xAARRGGBB
};

struct PsdUrl {
    uint32_t value; // the entry's long value
    uint32_t id;
    uint32_t length; // UTF-16 units
    uint8_t* url;    // big-endian UTF-16 as in the file
};

// Everything the image resources section leaves behind. Each group's `present` byte is set when
// its block was read (and, for version-gated blocks, had the version the reader knows).
struct PsdResources {
    struct {
        uint8_t present;
        float horizontal; // 16.16 fixed in the file
        uint16_t horizontal_unit, width_unit;
        float vertical;
        uint16_t vertical_unit, height_unit;
    } resolution;                // 1005
    uint8_t alpha_names_present; // 1006, 1045, 1053
    struct {
        uint8_t present;
        uint32_t color;
        uint16_t opacity;
        uint8_t kind;
    } display; // 1007
    uint8_t caption_present;
    char caption[256]; // 1008
    struct {
        uint8_t present;
        float width;
        int32_t unit;
    } border; // 1009
    struct {
        uint8_t present;
        uint8_t flags[9];
    } print_flags; // 1011
    uint8_t layer_state_present;
    uint16_t target_layer; // 1024
    struct {
        uint8_t present;
        int32_t count;
        uint16_t* ids;
    } layer_groups; // 1026
    struct {
        uint8_t present;
        uint32_t horizontal_cycle, vertical_cycle, guide_count;
        uint32_t* locations;
        uint8_t* directions;
    } grid; // 1032, version 1
    struct {
        uint8_t present;
        uint32_t format, width, height, width_bytes, total_size, compressed_size;
        uint16_t bits_per_pixel, planes;
        uint32_t data_size;
        uint8_t* data;
    } thumbnail; // 1033, 1036
    uint8_t copyright_present;
    uint16_t copyright;   // 1034
    int32_t global_angle; // 1037
    struct {
        uint8_t present;
        uint32_t count;
        PsdColorSampler* samplers;
    } color_samplers; // 1038, version 1
    uint8_t effects_visible_present;
    uint16_t effects_visible; // 1042
    uint8_t indexed_color_count_present;
    int16_t indexed_color_count; // 1046
    uint8_t transparency_index_present;
    int16_t transparency_index; // 1047
    int32_t global_altitude;    // 1049
    struct {
        uint8_t present;
        uint32_t top, left, bottom, right;
        uint32_t count;
        PsdSlice* slices;
    } slices; // 1050, version 6
    struct {
        uint8_t present;
        uint32_t count;
        PsdUrl* entries;
    } urls; // 1054
    struct {
        uint8_t present;
        uint32_t version;
        uint8_t has_real_merged_data;
        uint32_t writer_length, reader_length; // UTF-16 units
        uint8_t* writer;
        uint8_t* reader;
        uint32_t file_version;
    } version; // 1057
    struct {
        uint8_t present;
        uint32_t size;
        uint8_t* data;
    } exif, xmp, icc_profile; // 1058/1059 (the last one read), 1060, 1039 (the first)
    struct {
        uint8_t present;
        int32_t style;
        float x, y, scale;
    } print_scale; // 1062
    uint8_t pixel_aspect_present;
    double pixel_aspect_ratio; // 1064, version 1
    struct {
        uint8_t present;
        uint8_t centre_crop_marks;
        uint32_t bleed_width_value;
        uint16_t bleed_width_scale;
    } print_info; // 10000, version 1
    int32_t path_count;
    int32_t path_capacity;
    PsdPath* paths; // 2000 to 2998
};

struct PsdChannelInfo {
    int16_t id;      // -1 transparency, -2 user mask, -3 real user mask, 0 and up colour
    uint64_t length; // bytes of channel image data, its compression field included
    uint8_t restricted;
};

// An additional-information block of a layer that its parser refused: the layer keeps the key and
// the status, and the block is passed over by its length.
struct PsdFailedBlock {
    uint32_t key;
    int32_t status;
};
inline constexpr int kPsdMaxFailedBlocks = 8;

// A pattern its reader refused: the pattern block's key, the status, and the pattern's place
// among all the file's patterns.
struct PsdFailedPattern {
    uint32_t key;
    int32_t status;
    int32_t index;
};

// Most additional-information entries a layer keeps.
inline constexpr int kPsdMaxLayerInfo = 20;

struct PsdLayerRecord {
    int32_t kind; // 0 ordinary, 1 group end, 2 group start, 3 and up fill/adjustment
    int32_t top, left, bottom, right;
    int32_t width, height;
    int16_t channel_count;
    PsdChannelInfo* channels;
    PsdBlendMode blend_mode;
    uint8_t opacity;
    uint8_t clipping;
    uint8_t transparency_protected;
    uint8_t visible;
    uint8_t obsolete;
    uint8_t pixel_data_irrelevant;
    int32_t mask_top, mask_left, mask_bottom, mask_right;
    int32_t mask_width, mask_height;
    uint8_t mask_default_color;
    uint8_t mask_relative;
    uint8_t mask_disabled;
    uint8_t mask_inverted;
    uint8_t* mask_pixels; // mask width x mask height bytes (channel -2)
    uint64_t mask_pixels_size;
    // Mask parameters (when the mask's flags bit 4 says so): which are present (bit 0 user mask
    // density, 1 user mask feather, 2 vector mask density, 3 vector mask feather) and their values.
    uint8_t mask_parameters;
    uint8_t mask_density, vector_mask_density; // 0 to 255
    double mask_feather, vector_mask_feather;  // pixels
    // The real user mask, which writers store beside the user mask when the layer has a vector mask
    // as well: its own rectangle, default colour and flags, and its pixels (channel -3).
    uint8_t has_real_mask;
    int32_t real_mask_top, real_mask_left, real_mask_bottom, real_mask_right;
    int32_t real_mask_width, real_mask_height;
    uint8_t real_mask_default_color;
    uint8_t real_mask_relative;
    uint8_t real_mask_disabled;
    uint8_t real_mask_inverted;
    uint8_t* real_mask_pixels; // real mask width x real mask height bytes
    uint64_t real_mask_pixels_size;
    uint16_t composite_gray_ranges[4]; // source low, source high, destination low, high
    int32_t channel_range_count;
    uint16_t* channel_ranges[4]; // one array per field above, channel_range_count entries each
    char name[256];
    uint32_t* pixels;     // width x height, 0xAARRGGBB (large-buffer allocation)
    uint64_t pixels_size; // bytes of `pixels`
    // Instead of `pixels` (PsdOptions::defer_layer_pixels): where the colour channels lie in
    // the file, for the compositor to decode a band of rows at a time.
    struct PsdLayerBands* bands;
    // Additional-information entries (adjustment, fill, type and effects data): the entry type
    // of each and the record it owns (null for entries without data), released by type through
    // psd_free_layer_entry. has_adjustment is 1 once an adjustment block was read.
    int32_t info_count;
    uint32_t info_types[kPsdMaxLayerInfo];
    void* info_data[kPsdMaxLayerInfo];
    uint8_t has_adjustment;
    uint8_t fill_opacity;
    uint32_t unicode_name_length;
    uint8_t* unicode_name;
    uint32_t name_source;
    uint32_t layer_id;
    uint32_t layer_version;
    uint8_t blend_clipped_elements;
    uint8_t blend_interior_elements;
    uint8_t knockout;
    uint8_t protect_transparency, protect_composite, protect_position;
    uint32_t sheet_color;
    int32_t reference_x, reference_y;
    uint8_t transparency_shapes_layer;
    uint8_t layer_mask_hides_effects;
    uint8_t vector_mask_hides_effects;
    uint32_t section_type;
    PsdBlendMode section_blend_mode;
    PsdLayerRecord* parent; // the group-start record that holds this layer, or null
    // Blocks whose parsers refused them (the first kPsdMaxFailedBlocks; the count goes on).
    int32_t failed_block_count;
    PsdFailedBlock failed_blocks[kPsdMaxFailedBlocks];
    // A file without layers gets one layer whose pixels are the merged pixels: lent (1) they are
    // the context's merged buffer, not a copy; psd_own_layer_pixels makes them the layer's own.
    uint8_t pixels_lent;
    // Blocks the compositor does not draw from: a vector mask ("vmsk", "vsms") and placed or
    // embedded smart-object content ("SoLd", "PlLd", "SoLE"), as PsdUnrendered flags.
    uint32_t unrendered;
};

// One pattern of the global "Patt", "Pat2" and "Pat3" blocks.
struct PsdPattern {
    uint32_t image_mode; // colour mode numbers as in the file header
    // The pixels' size: the channels' array list's rectangle (at most 65535 a side).
    uint32_t height, width;
    // The pattern's point (vertical, horizontal) as the file gives it, which need not be its size.
    uint16_t point_vertical, point_horizontal;
    uint32_t name_length; // UTF-16 units
    uint8_t* name;        // big-endian UTF-16 as in the file
    char id[256];         // Pascal id string's characters, zero-filled after
    uint32_t array_list_version;
    int32_t top, left, bottom, right; // rectangle of the channels' array list
    int32_t channels_read;            // written channels decoded
    uint32_t* pixels;                 // width x height, 0xAARRGGBB (null when not decoded)
    uint64_t pixels_size;             // bytes of `pixels`
};

struct PsdOptions;

struct PsdContext {
    PsdStream stream;
    uint32_t state; // 0 header ... 5 done

    // Header.
    uint16_t version; // 1 PSD, 2 PSB (the large document format: 8-byte section lengths)
    uint32_t width;
    uint32_t height;
    uint16_t channel_count;
    uint16_t depth;      // 1, 8 or 16
    uint32_t color_mode; // PsdColorMode

    // Colour mode data: indexed palettes as 0xAARRGGBB.
    int32_t palette_count;
    uint32_t* palette;

    PsdResources resources;

    // Alpha channels named by the resources; the colour-channel count is the channel count
    // minus their number.
    int16_t alpha_channel_count;
    int16_t color_channel_count;
    PsdAlphaChannel* alpha_channels;

    // Merged image.
    uint32_t* merged;     // width x height pixels (psd_merged_block_size bytes)
    uint8_t* planes;      // plane scratch: the merged image's planes, then each layer's slots
    uint64_t plane_size;  // bytes of one plane
    uint64_t planes_size; // bytes of the whole scratch buffer

    // Layers.
    int32_t layer_count;
    PsdLayerRecord* layers;
    uint8_t* layer_scratch; // one layer's (or pattern's) compressed channel data
    uint64_t layer_scratch_capacity;
    uint64_t layer_plane_size; // bytes of the layer plane being decoded
    uint64_t slot_size;        // bytes of each channel's slot in the plane scratch
    uint32_t global_mask_color;
    uint16_t global_mask_opacity;
    uint8_t global_mask_kind;
    // Layers counted in the layer section while it is passed over by its length: the merged
    // image makes a layer of its own only for files that have none.
    int32_t skipped_layer_count;
    int32_t pattern_count;
    int32_t pattern_capacity;
    PsdPattern* patterns;
    // Patterns refused and passed over by their length (the first kPsdMaxFailedBlocks; the count
    // goes on): the block's key and the refusal, and `index` the pattern's place among all the
    // file's patterns, refused ones included.
    int32_t failed_pattern_count;
    PsdFailedPattern failed_patterns[kPsdMaxFailedBlocks];

    // What the decode may hold at once (planes, merged pixels, the flat layer, alpha channels,
    // layer and pattern pixels, scratch buffers), and what it holds now.
    uint64_t memory_budget;
    uint64_t memory_held;
    // The layers' and patterns' decompression-bomb account, one for the whole file: bytes their
    // channels must fill, twice what the channel data present in the file can produce at best,
    // and the bytes their pixels are held in (4 a pixel, what the rule's floor is measured on).
    uint64_t layer_bytes_wanted;
    uint64_t layer_bytes_possible;
    uint64_t layer_bytes_held;
    const PsdOptions* options; // valid only during psd_open
};

// ---------------------------------------------------------------------------------------------
// Entry points

// Opens and reads the whole file at `path`. On success stores the record through `out` (free it
// with psd_free). On failure after the file was opened stores null; before that (-1, -2, -4 at
// the record's allocation) leaves `out` as it was. Only regular files are read: the path is
// opened without blocking, and anything else (a FIFO, a device, a folder) gives PSD_ERR_NOT_FILE
// before a single byte is read.
int psd_open(PsdContext** out, const char* path);

// What a caller may ask of a load beyond psd_open's defaults.
struct PsdOptions {
    // Bytes the decode may hold at once; 0: the smaller of 4 GiB and half the physical memory.
    uint64_t memory_budget;
    // Pass the layer and mask information section over by its length (the merged picture only).
    uint8_t skip_layers;
    // Read the layer records, masks, blocks and patterns, but pass each layer's channel image
    // data and each pattern's channels over by their lengths: no layer, mask or pattern pixels
    // (for callers that show the merged picture).
    uint8_t skip_layer_pixels;
    // Pass each pattern's channels over by their lengths (implied by skip_layer_pixels): for
    // callers that composite the layers, which draw no pattern.
    uint8_t skip_pattern_pixels;
    // Called once the header is read; a non-zero result ends the load with that result, before
    // anything past the header is read.
    int (*check_header)(const PsdContext* header);
    // Out: the state (0 header ... 4 image data) in which a failed load stopped.
    uint32_t failed_state;
    // A CMYK file with an ICC profile (resource 1039) keeps its inks in the merged words, as
    // stored (bytes cyan, magenta, yellow, black; 255 for no ink), for the caller to convert
    // through the profile.
    uint8_t cmyk_inks_with_profile;
    // For callers that only composite the layers: a layer whose colour channels are stored raw
    // or as whole PackBits rows keeps them in the file (which stays open until psd_free), and
    // psd_composite decodes them a band of rows at a time as it draws, instead of holding every
    // layer's pixels at once. Such a layer has `bands` and no `pixels`; its masks are decoded as
    // usual. The size rule and the memory budget judge the file as for a full decode.
    uint8_t defer_layer_pixels;
};
int psd_open_with(PsdContext** out, const char* path, PsdOptions* options);

// The default memory budget of a decode: the smaller of 4 GiB and half the physical memory.
uint64_t psd_default_memory_budget();

// Makes a lent layer's pixels its own copy (see PsdLayerRecord::pixels_lent); 0 or -4/-23.
int psd_own_layer_pixels(PsdContext* ctx, PsdLayerRecord* layer);
// Bytes of the merged pixel block: the width x height words, then vistrel::kPixelSpareBytes zero
// bytes, so that a picture can take the block over as its pixels.
uint64_t psd_merged_block_size(const PsdContext* ctx);
// Hands the merged pixels over to the caller, who frees them with vistrel::freeLarge and
// psd_merged_block_size. The record's `merged` is null from then on, and so are the pixels of a
// flat file's layer, which borrowed them. Null when there are none.
uint32_t* psd_take_merged(PsdContext* ctx);
// Releases everything the record holds, partial records included. -1 for null.
int psd_free(PsdContext* ctx);

// ---------------------------------------------------------------------------------------------
// Stream primitives: big-endian readers over the 4096-byte buffer; at end of file the integer and
// float readers return 0 and still consume what was left.

uint64_t psd_read(PsdContext* ctx, void* destination, uint64_t count);
int64_t psd_skip(PsdContext* ctx, int64_t count);
uint8_t psd_read_u8(PsdContext* ctx);
uint8_t psd_read_bool(PsdContext* ctx);
uint16_t psd_read_u16(PsdContext* ctx);
uint32_t psd_read_u32(PsdContext* ctx);
float psd_read_f32(PsdContext* ctx);
double psd_read_f64(PsdContext* ctx);
// Colour structure: space id and four 16-bit components; 0x00FFFFFF when it cannot be converted.
uint32_t psd_read_color(PsdContext* ctx);
PsdBlendMode psd_read_blend_mode(PsdContext* ctx);

// Bytes between the stream's position and the end of the file (0 when past it).
uint64_t psd_bytes_left(const PsdContext* ctx);

// Helpers shared by the section readers.
inline uint32_t psd_pack_argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
// Space 0 RGB, 1 HSB, 2 CMYK, 7 Lab; others give 0x00FFFFFF and PSD_ERR_COLOR_SPACE.
int psd_color_to_rgb(uint32_t* result, int space, uint16_t c0, uint16_t c1, uint16_t c2,
                     uint16_t c3);
PsdBlendMode psd_blend_mode_from_key(uint32_t key);
