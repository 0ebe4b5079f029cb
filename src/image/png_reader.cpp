// PNG decoding with libpng's sequential read API, from memory.
//
// libpng reports fatal errors through png_error, which must not return; the error callback
// jumps back to RunDecode. RunDecode is written as C: between its setjmp and any longjmp no
// object with a destructor is alive in its frame, and all decoder state (libpng's structures,
// the row pointers, the alpha buffer) lives in the caller's PngDecoder, which the jump never
// leaves.
//
// What the picture is made of: the first image only (an animated file's IDAT image); palette,
// greyscale and transparency-key images expanded to RGB with alpha as needed; sub-byte grey
// scaled to full range (libpng replicates the bits, which is v * 255 / (2^n - 1)); 16-bit
// samples rounded to 8 bits; alpha composed over white. Colour chunks other than the embedded
// profile are not applied: the profile (iCCP) is handed to the caller, which converts.
//
// Damaged data: a critical chunk whose CRC fails, a zlib stream that is corrupt or ends before
// the last row, or a file that ends inside the image data are all errors, never a partly grey
// picture. Damage after the last row (in chunks that follow the image) costs only those chunks.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/codecs.h"
#include "image/exif.h"
#include "image/over_white.h"

namespace pictorra::image {
namespace {

// Ancillary chunks libpng may hold in memory: an ICC profile (after decompression) or an EXIF
// block larger than this is dropped, so a chunk declaring a gigabyte costs nothing.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{16} << 20;
// Unknown and ignored ancillary chunks libpng will read past before giving up on the file.
constexpr png_uint_32 kMaxAncillaryChunks = 1000;

// Chunks whose contents make no difference to the picture we produce. Telling libpng to skip
// them saves their decompression (text chunks can be large) and their error handling.
constexpr png_byte kIgnoredChunks[] =
    "bKGD\0cHRM\0gAMA\0hIST\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0sTER\0tEXt\0tIME\0"
    "zTXt";
constexpr int kIgnoredChunkCount = 16;

// The libpng state of one decode; released by its owner whichever way the decode ends.
struct PngDecoder {
    PngDecoder() = default;
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;
    ~PngDecoder() { png_destroy_read_struct(&png, &info, nullptr); }

    png_structp png = nullptr;
    png_infop info = nullptr;
    std::span<const uint8_t> data;
    size_t position = 0;
    std::vector<png_bytep> rows;      // where each picture row (top first) is decoded
    std::vector<uint8_t> bgra_row;    // a row with alpha, before it is composed over white
    std::unique_ptr<uint8_t[]> bgra;  // the same for an interlaced picture: every row
    bool in_image_data = false;       // the rows are being read
    bool pixels_done = false;         // every row is in the picture; later errors do not matter
};

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng counts a failed checksum at the end of the image data as minor; it means a damaged
// file like any other fault there. Padding after the end of the compressed image is harmless.
void OnWarning(png_structp png, png_const_charp message) {
    const auto* d = static_cast<const PngDecoder*>(png_get_io_ptr(png));
    if (d != nullptr && d->in_image_data &&
        std::strstr(message, "Extra compressed data") == nullptr)
        png_error(png, message);
}

// libpng's input callback: a read past the end of the file is an error, so a file cut inside
// the image data is refused instead of yielding the rows read so far.
void ReadFromMemory(png_structp png, png_bytep buffer, size_t length) {
    auto* d = static_cast<PngDecoder*>(png_get_io_ptr(png));
    if (length > d->data.size() - d->position) png_error(png, "unexpected end of file");
    std::memcpy(buffer, d->data.data() + d->position, length);
    d->position += length;
}

// The decode proper. Written as C (see the top of the file): only trivially destructible
// locals, and `d` is the one thing read after a jump. True when the picture is complete.
bool RunDecode(PngDecoder* d, cImage* out) {
    png_structp png = d->png;
    png_infop info = d->info;
    if (setjmp(png_jmpbuf(png)) != 0) return d->pixels_done;

    png_set_read_fn(png, d, ReadFromMemory);
    png_set_user_limits(png, kMaxLoadSide, kMaxLoadSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxAncillaryChunks);
    // Trouble in an ancillary chunk (a damaged profile, a misplaced chunk) costs that chunk, not
    // the picture. Critical chunks stay fatal whatever this says.
    png_set_benign_errors(png, 1);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!LoadableSize(width, height)) return false;
    png_set_expand(png);    // palette to RGB, grey below 8 bits to 8, transparency key to alpha
    png_set_scale_16(png);  // rounds: (v * 255 + 32767) / 65535
    png_set_gray_to_rgb(png);
    const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_byte channels = png_get_channels(png, info);
    if (channels != (alpha ? 4 : 3) || png_get_bit_depth(png, info) != 8) return false;
    if (png_get_rowbytes(png, info) != size_t(channels) * width) return false;

    if (out->CreateDIB(int32_t(width), int32_t(height)) != kDibOk) return false;
    const PixelView view = out->View();
    d->in_image_data = true;
    if (channels == 3) {
        // Straight into the picture: picture row y is memory row height-1-y.
        d->rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) d->rows[y] = view.Row(int32_t(y));
        png_read_image(png, d->rows.data());
    } else if (passes == 1) {
        // One row at a time through a row buffer, composed as it comes.
        d->bgra_row.resize(size_t(4) * width);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, d->bgra_row.data(), nullptr);
            ComposeBgraOverWhite(d->bgra_row.data(), view.Row(int32_t(y)), int32_t(width));
        }
    } else {
        // Interlaced passes fill every row several times: the whole picture waits for the last.
        // The passes write every byte, so the buffer is not cleared first (which would touch
        // all of it even when the data fails at the first row).
        d->bgra = std::make_unique_for_overwrite<uint8_t[]>(size_t(4) * width * height);
        d->rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) d->rows[y] = &d->bgra[size_t(4) * width * y];
        png_read_image(png, d->rows.data());
        for (png_uint_32 y = 0; y < height; ++y) {
            ComposeBgraOverWhite(d->rows[y], view.Row(int32_t(y)), int32_t(width));
        }
    }
    d->pixels_done = true;
    d->in_image_data = false;
    // The chunks after the image: an eXIf chunk may come there.
    png_read_end(png, info);
    return true;
}

bool DecodePngInto(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    PngDecoder d;
    d.data = data;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (d.png == nullptr) return false;
    d.info = png_create_info_struct(d.png);
    if (d.info == nullptr || !RunDecode(&d, &out)) return false;

    png_bytep exif = nullptr;
    png_uint_32 exif_size = 0;
    const std::span<const uint8_t> exif_block =
        png_get_eXIf_1(d.png, d.info, &exif_size, &exif) != 0 && exif != nullptr
            ? std::span<const uint8_t>(exif, exif_size)
            : std::span<const uint8_t>();
    if (info) {
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 profile_size = 0;
        if (png_get_iCCP(d.png, d.info, &name, &compression, &profile, &profile_size) != 0 &&
            profile != nullptr) {
            info->icc.assign(profile, profile + profile_size);
        }
        info->exif.assign(exif_block.begin(), exif_block.end());
    }
    ApplyOrientation(out, TiffOrientation(exif_block));
    return out.PicValid();
}

}  // namespace

bool DecodePng(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    return DecodeOrNothing(data, out, info, DecodePngInto);
}

}  // namespace pictorra::image
