#include "HeifDecoder.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"
#include "ExifReader.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace vistrel {

namespace {

// Pictures wider or taller than this are refused by libheif before anything is decoded: the
// side of the largest square picture the program holds (kMaxPicturePixels).
constexpr int kMaxSide = 16384;

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;

DecodeResult refusalOf(const heif_error& error) {
    if (error.code == heif_error_Ok) return kOk;
    // libheif reports its own limits as a failed allocation.
    if (error.subcode == heif_suberror_Security_limit_exceeded) return Refusal::TooLarge;
    switch (error.code) {
    case heif_error_Memory_allocation_error:
        return Refusal::OutOfMemory;
    case heif_error_Unsupported_feature:
        return Refusal::Unsupported;
    case heif_error_Decoder_plugin_error:
        return Refusal::NoDecoder;
    default:
        break;
    }
    return error.subcode == heif_suberror_End_of_data ? Refusal::Truncated : Refusal::Malformed;
}

DecodeResult readRefusal(const heif_error& error, ByteSource& source) {
    const DecodeResult refusal = refusalOf(error);
    return refusal.refusal() == Refusal::Malformed && boxRunsPastEnd(source)
               ? DecodeResult(Refusal::Truncated)
               : refusal;
}

Context newContext() {
    Context context(heif_context_alloc());
    if (context) heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    return context;
}

DecodeResult primaryImage(heif_context* context, Handle& handle) {
    heif_image_handle* primary = nullptr;
    if (const DecodeResult got =
            refusalOf(heif_context_get_primary_image_handle(context, &primary));
        !got)
        return got;
    handle.reset(primary);
    const int width = heif_image_handle_get_width(primary);
    const int height = heif_image_handle_get_height(primary);
    if (width <= 0 || height <= 0) return Refusal::Malformed;
    if (uint64_t(width) * uint64_t(height) > kMaxPicturePixels) return Refusal::TooLarge;
    return kOk;
}

// libheif's reader over our own file door: it seeks past the coded data to the boxes it needs.
struct SourceCursor {
    ByteSource& source;
    uint64_t position = 0;
};

const heif_reader kSourceReader = {
    1,
    [](void* cursor) { return int64_t(static_cast<SourceCursor*>(cursor)->position); },
    [](void* data, size_t size, void* userdata) {
        auto* cursor = static_cast<SourceCursor*>(userdata);
        if (size == 0) return 0; // asked with no buffer at all
        const std::size_t got = cursor->source.readAt(cursor->position, data, size);
        cursor->position += got;
        return got == size ? 0 : 1;
    },
    [](int64_t position, void* userdata) {
        auto* cursor = static_cast<SourceCursor*>(userdata);
        if (position < 0 || uint64_t(position) > cursor->source.size()) return 1;
        cursor->position = uint64_t(position);
        return 0;
    },
    [](int64_t target, void* userdata) {
        auto* cursor = static_cast<SourceCursor*>(userdata);
        return target >= 0 && uint64_t(target) <= cursor->source.size()
                   ? heif_reader_grow_status_size_reached
                   : heif_reader_grow_status_size_beyond_eof;
    },
};

// The ftyp box's major brand, or nothing.
const uint8_t* majorBrand(const uint8_t* data, std::size_t size) {
    return size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0 ? data + 8 : nullptr;
}

// The colour the file states: an ICC profile, or a coded description.
void readColor(const heif_image_handle* handle, PictureMetadata& metadata) {
    const std::size_t profileSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (profileSize > 0) {
        metadata.iccProfile.resize(profileSize);
        if (heif_image_handle_get_raw_color_profile(handle, metadata.iccProfile.data()).code ==
            heif_error_Ok)
            return;
        metadata.iccProfile.clear();
    }
    heif_color_profile_nclx* read = nullptr;
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &read);
    // libheif may hand out the description and still report an error (an unknown colour
    // primaries code): it is ours to free either way.
    const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(read);
    if (error.code != heif_error_Ok || !nclx) return;
    const float primaries[8] = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                                nclx->color_primary_green_x, nclx->color_primary_green_y,
                                nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                                nclx->color_primary_white_x, nclx->color_primary_white_y};
    describeCodedColor(nclx->color_primaries, nclx->transfer_characteristics, primaries, metadata);
}

// The camera named in the EXIF block; its orientation is already in the picture (irot, imir).
// The block starts with the offset of its TIFF header from the end of that field.
void readCamera(const heif_image_handle* handle, PictureMetadata& metadata) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return;
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > (std::size_t(1) << 24)) return;
    std::vector<uint8_t> block(size);
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return;
    const uint32_t skip = bigEndian32(block.data());
    if (skip > size - 4) return;
    ExifFacts facts;
    readExif(block.data() + 4 + skip, size - 4 - skip, facts);
    metadata.cameraText = facts.cameraText;
    metadata.dateTaken = facts.dateTaken;
}

uint8_t rounded(unsigned value, unsigned largest) {
    return uint8_t((value * 255 + largest / 2) / largest);
}

// The decoded rows (R, G, B[, A] at 8 bits, or at 16 little-endian holding `bits` bits) into the
// picture's (B, G, R[, A]).
void copyRows(const uint8_t* from, int stride, int bits, bool alpha, Picture& picture) {
    const int channels = alpha ? 4 : 3;
    const int width = picture.width();
    const unsigned largest = (1u << bits) - 1;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* s = from + std::size_t(y) * std::size_t(stride);
        uint8_t* d = picture.pixels() + std::size_t(y) * picture.rowSize();
        if (bits == 8) {
            for (int x = 0; x < width; ++x, s += channels, d += channels) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                if (alpha) d[3] = s[3];
            }
        } else {
            for (int x = 0; x < width; ++x, s += 2 * channels, d += channels) {
                d[0] = rounded(littleEndian16(s + 4), largest);
                d[1] = rounded(littleEndian16(s + 2), largest);
                d[2] = rounded(littleEndian16(s), largest);
                if (alpha) d[3] = rounded(littleEndian16(s + 6), largest);
            }
        }
    }
}

// The image of the handle (the primary image or its thumbnail), as shown, into the picture.
DecodeResult decodeImage(heif_image_handle* handle, int width, int height, bool alpha,
                         Picture& picture) {
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    const bool deep = bits > 8 && bits <= 16;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(
        heif_decoding_options_alloc());
    if (!options) return Refusal::OutOfMemory;
    options->ignore_transformations = 0; // rotation and mirror applied here, and only here
    heif_image* decoded = nullptr;
    if (const DecodeResult made = refusalOf(
            heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, options.get()));
        !made)
        return made;
    const std::unique_ptr<heif_image, ImageDeleter> image(decoded);
    int stride = 0;
    const uint8_t* rows = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int decodedBits =
        deep ? heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) : 8;
    if (!rows || heif_image_get_width(decoded, heif_channel_interleaved) != width ||
        heif_image_get_height(decoded, heif_channel_interleaved) != height || decodedBits < 8 ||
        decodedBits > 16)
        return Refusal::Malformed;
    if (const DecodeResult made = createPicture(picture, width, height, alpha ? 32 : 24); !made)
        return made;
    copyRows(rows, stride, decodedBits, alpha, picture);
    return kOk;
}

} // namespace

// Whether a top-level box runs past the end of the file: a file cut short, which libheif reports
// as whatever box it then misses. A box starts with its 32-bit size (1: a 64-bit size follows;
// 0: to the end of the file) and type.
bool boxRunsPastEnd(ByteSource& source) {
    const uint64_t end = source.size();
    for (uint64_t at = 0; at < end;) {
        uint8_t head[16];
        const std::size_t got = source.readAt(at, head, sizeof head);
        if (got < 8) return true;
        uint64_t size = bigEndian32(head);
        if (size == 0) return false;
        if (size == 1) {
            if (got < 16) return true;
            size = uint64_t(bigEndian32(head + 8)) << 32 | bigEndian32(head + 12);
        }
        if (size < 8) return false; // no box: damaged, not cut
        if (size > end - at) return true;
        at += size;
    }
    return false;
}

void describeCodedColor(int primaries, int transfer, const float xy[8], PictureMetadata& metadata) {
    ColorDescription described;
    switch (transfer) {
    case heif_transfer_characteristic_IEC_61966_2_1:
    case heif_transfer_characteristic_ITU_R_BT_709_5:
    case heif_transfer_characteristic_ITU_R_BT_601_6:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
    case heif_transfer_characteristic_unspecified:
        // The video curves are shown as displays show them, like the sRGB curve.
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        described.transfer = ColorDescription::Transfer::Gamma;
        described.gamma = 2.2;
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        described.transfer = ColorDescription::Transfer::Gamma;
        described.gamma = 2.8;
        break;
    case heif_transfer_characteristic_ITU_R_BT_2100_0_PQ:
        described.transfer = ColorDescription::Transfer::Pq;
        break;
    case heif_transfer_characteristic_ITU_R_BT_2100_0_HLG:
        described.transfer = ColorDescription::Transfer::Hlg;
        break;
    default:
        return;
    }
    if (primaries == heif_color_primaries_ITU_R_BT_709_5 ||
        primaries == heif_color_primaries_unspecified) {
        metadata.declaredSrgb = described.transfer == ColorDescription::Transfer::Srgb;
        if (metadata.declaredSrgb) return;
    } else {
        described.red[0] = xy[0];
        described.red[1] = xy[1];
        described.green[0] = xy[2];
        described.green[1] = xy[3];
        described.blue[0] = xy[4];
        described.blue[1] = xy[5];
        described.white[0] = xy[6];
        described.white[1] = xy[7];
    }
    metadata.described = described;
}

DecodeResult readHeifHeader(ByteSource& source, PictureHeader& header) {
    uint8_t head[12];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got < sizeof head) return Refusal::Truncated;
    if (std::memcmp(head + 4, "ftyp", 4) != 0) return Refusal::Malformed;
    Context context = newContext();
    if (!context) return Refusal::OutOfMemory;
    SourceCursor cursor{source};
    if (const heif_error error =
            heif_context_read_from_reader(context.get(), &kSourceReader, &cursor, nullptr);
        error.code != heif_error_Ok)
        return readRefusal(error, source);
    Handle handle;
    if (const DecodeResult found = primaryImage(context.get(), handle); !found) return found;
    header.setSize(uint64_t(heif_image_handle_get_width(handle.get())),
                   uint64_t(heif_image_handle_get_height(handle.get())));
    header.bitsPerPixel = heif_image_handle_has_alpha_channel(handle.get()) ? 32 : 24;
    header.frames = 1;
    return kOk;
}

DecodeResult decodeHeif(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata, ReducedDecode* reduced) {
    if (size < 12) return Refusal::Truncated;
    if (!majorBrand(data, size)) return Refusal::Malformed;
    Context context = newContext();
    if (!context) return Refusal::OutOfMemory;
    if (const heif_error error =
            heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
        error.code != heif_error_Ok) {
        MemorySource source(data, size);
        return readRefusal(error, source);
    }
    Handle handle;
    if (const DecodeResult found = primaryImage(context.get(), handle); !found) return found;
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const uint64_t producible = isAvif(data, size) ? avifProducible(size) : heicProducible(size);
    if (!fitsItsData(pixels, pixels * (alpha ? 4 : 3), producible)) return Refusal::SizeRule;

    readColor(handle.get(), metadata);
    readCamera(handle.get(), metadata);
    if (reduced && reduced->atLeast) {
        // The thumbnail, when the file has one, in place of the picture larger than it needs;
        // without one a grid's tiles would cost nearly the whole decode, so it is decoded whole.
        const Size target = reduced->atLeast({width, height}, 1);
        heif_item_id id = 0;
        heif_image_handle* thumbnail = nullptr;
        if (target.width > 0 && target.width < width && target.height < height &&
            heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), &id, 1) == 1 &&
            heif_image_handle_get_thumbnail(handle.get(), id, &thumbnail).code == heif_error_Ok) {
            const Handle held(thumbnail);
            const int w = heif_image_handle_get_width(thumbnail);
            const int h = heif_image_handle_get_height(thumbnail);
            // Its aspect must be the picture's (within a pixel), or it is not a stand-in for it.
            if (w > 0 && h > 0 && w < width && h < height &&
                std::abs(int64_t(w) * height - int64_t(h) * width) <= std::max(width, height) &&
                decodeImage(thumbnail, w, h, alpha, picture)) {
                reduced->standsFor = {width, height};
                reduced->coarse = w < target.width || h < target.height;
                return kOk;
            }
        }
    }
    return decodeImage(handle.get(), width, height, alpha, picture);
}

DecodeResult decodeHeif(const char* path, Picture& picture, PictureMetadata& metadata) {
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(path, bytes); !read) return read;
    return decodeHeif(bytes.data(), bytes.size(), picture, metadata);
}

} // namespace vistrel
