// JPEG decoding with libjpeg-turbo's libjpeg API, straight into the bottom-up BGR buffer.
//
// libjpeg reports fatal errors through error_exit, which must not return; the decoder turns them
// (and the warnings that mean damaged data) into a longjmp back to RunDecode. RunDecode is written
// as C: between its setjmp and any longjmp no object with a destructor is alive, and the decoder
// state lives in the caller's frame (JpegDecoder), which the jump never leaves.
//
// The picture is written without a full-size intermediate: orientations 1 and 4 give libjpeg row
// pointers into the buffer (last picture row first, or first picture row first); CMYK pictures
// and the mirrored and turned orientations decode a strip of rows at a time into a small buffer
// and place it from there.
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <optional>

#include "image/codecs.h"
#include "image/exif.h"
#include "image/jpeg_trap.h"
#include "image/placement.h"

namespace pictorra::image {
namespace {

// A progressive file needs about ten scans. A small file of thousands of scans makes the decoder
// run over its whole coefficient buffer thousands of times; libjpeg-turbo's own tools and fuzzers
// stop such files the same way, through the progress monitor.
constexpr int kMaxScans = 100;
// libjpeg's own working memory (above all the whole-image coefficient buffer of progressive and
// multi-scan files, up to 6 bytes a pixel); the largest loadable picture fits.
constexpr long kMaxDecoderMemory = 1L << 30;
// Rows decoded per strip when the rows cannot go straight into the picture buffer.
constexpr JDIMENSION kStripRows = 16;
// Slack after each strip row, so that a pixel can be copied with one 4-byte move.
constexpr size_t kStripRowSlack = 4;

using detail::ErrorTrap;
using detail::ExitToTrap;

// Warnings that real files carry without their pictures being damaged: junk bytes between
// segments (camera files often have them), an unknown JFIF version or Adobe transform code.
// Every other warning means the entropy-coded data is damaged or ends early, and the picture is
// refused.
bool IsHarmlessWarning(int code) {
    switch (code) {
        case JWRN_EXTRANEOUS_DATA:
        case JWRN_JFIF_MAJOR:
        case JWRN_ADOBE_XFORM:
            return true;
        default:
            return false;
    }
}

void OnMessage(j_common_ptr cinfo, int msg_level) {
    // Levels 0 and above are trace messages; -1 is a warning.
    if (msg_level < 0 && !IsHarmlessWarning(cinfo->err->msg_code)) ExitToTrap(cinfo);
}

void LimitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        ExitToTrap(cinfo);
    }
}

// The libjpeg state of one decode; released by its owner whichever way the decode ends.
struct JpegDecoder {
    JpegDecoder() = default;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    ~JpegDecoder() { jpeg_destroy_decompress(&cinfo); }

    jpeg_decompress_struct cinfo{};
    ErrorTrap trap{};
    jpeg_progress_mgr progress{};
    // From the first EXIF APP1 segment.
    bool exif_seen = false;
    Orientation orientation = Orientation::kNormal;
    // Where the EXIF block and the colour profile go; null when nobody asked.
    PictureInfo* info = nullptr;
    // The ICC_PROFILE chunks of the APP2 segments, by their sequence number (1 to 255).
    std::vector<std::vector<uint8_t>> icc_chunks;
    size_t icc_bytes = 0;
    bool icc_broken = false;
};

// A colour profile split over more APP2 segments than this is not taken (real ones are a few
// kilobytes to a megabyte).
constexpr size_t kMaxIccBytes = size_t{16} << 20;

// The chunks of an ICC profile, joined in order; empty when a chunk is missing or twice.
std::vector<uint8_t> JoinIccChunks(const JpegDecoder& d) {
    std::vector<uint8_t> icc;
    if (d.icc_broken || d.icc_chunks.empty()) return icc;
    icc.reserve(d.icc_bytes);
    for (const auto& chunk : d.icc_chunks) {
        if (chunk.empty()) return {};
        icc.insert(icc.end(), chunk.begin(), chunk.end());
    }
    return icc;
}

// Consumes the two length bytes of the marker segment at the reader's position and returns the
// length of its payload; nothing when the source has to wait for more data. A length below two
// is a damaged file.
std::optional<size_t> TakeSegmentLength(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer < 2 && !(*src->fill_input_buffer)(cinfo)) return std::nullopt;
    if (src->bytes_in_buffer < 2) ExitToTrap(reinterpret_cast<j_common_ptr>(cinfo));
    const size_t length = size_t{src->next_input_byte[0]} << 8 | src->next_input_byte[1];
    src->next_input_byte += 2;
    src->bytes_in_buffer -= 2;
    if (length < 2) ExitToTrap(reinterpret_cast<j_common_ptr>(cinfo));
    return length - 2;
}

// APP1 segments are read in place instead of through jpeg_save_markers, which copies every one
// and appends it to a list walked from its head: a file of a hundred thousand tiny APP1
// segments would take quadratic time. Only the first EXIF segment is looked at, where it lies
// in the source buffer; the rest are skipped as libjpeg skips any segment.
boolean ReadApp1(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    const std::optional<size_t> length = TakeSegmentLength(cinfo);
    if (!length) return FALSE;
    const size_t payload_length = *length;
    auto* decoder = static_cast<JpegDecoder*>(cinfo->client_data);
    if (!decoder->exif_seen && payload_length <= src->bytes_in_buffer) {
        const std::span<const uint8_t> payload(src->next_input_byte, payload_length);
        if (IsExifPayload(payload)) {
            decoder->exif_seen = true;
            decoder->orientation = ExifOrientation(payload);
            if (decoder->info)
                decoder->info->exif.assign(payload.begin() + sizeof kExifSignature, payload.end());
        }
    }
    if (payload_length > 0) (*src->skip_input_data)(cinfo, static_cast<long>(payload_length));
    return TRUE;
}

// APP2 segments carry the ICC profile as "ICC_PROFILE\0", the chunk's number (from 1), the
// number of chunks, then the chunk's bytes. Read in place for the same reason as APP1.
boolean ReadApp2(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    const std::optional<size_t> length = TakeSegmentLength(cinfo);
    if (!length) return FALSE;
    const size_t payload_length = *length;
    auto* d = static_cast<JpegDecoder*>(cinfo->client_data);
    constexpr size_t kHead = 14;  // "ICC_PROFILE\0", number, count
    if (d->info && !d->icc_broken && payload_length > kHead &&
        payload_length <= src->bytes_in_buffer &&
        std::memcmp(src->next_input_byte, "ICC_PROFILE", 12) == 0) {
        const uint8_t* p = src->next_input_byte;
        const unsigned number = p[12], count = p[13];
        if (d->icc_chunks.empty() && count > 0) d->icc_chunks.resize(count);
        if (number == 0 || number > d->icc_chunks.size() || count != d->icc_chunks.size() ||
            !d->icc_chunks[number - 1].empty() || d->icc_bytes + payload_length > kMaxIccBytes) {
            d->icc_broken = true;
        } else {
            d->icc_chunks[number - 1].assign(p + kHead, p + payload_length);
            d->icc_bytes += payload_length - kHead;
        }
    }
    if (payload_length > 0) (*src->skip_input_data)(cinfo, static_cast<long>(payload_length));
    return TRUE;
}

// One pixel of 3 bytes; reads and writes 4 where the caller guarantees the room (the fourth
// byte written is overwritten by the next pixel).
// Adobe CMYK (stored inverted, as Photoshop writes it) to BGR, in place: a row of `width`
// 4-byte pixels becomes `width` 3-byte pixels. Each channel is C x K / 255, rounded.
void CmykRowToBgr(uint8_t* row, JDIMENSION width) {
    auto mul255 = [](unsigned a, unsigned b) {
        const unsigned t = a * b + 128;
        return uint8_t((t + (t >> 8)) >> 8);
    };
    for (JDIMENSION x = 0; x < width; ++x) {
        const uint8_t* s = row + size_t{4} * x;
        const unsigned c = s[0], m = s[1], y = s[2], k = s[3];
        uint8_t* d = row + size_t{3} * x;
        d[0] = mul255(y, k);
        d[1] = mul255(m, k);
        d[2] = mul255(c, k);
    }
}

// Reads up to `count` rows into `rows`; false when libjpeg delivers nothing (it cannot suspend on
// a memory source, so that would otherwise loop for ever).
bool ReadRows(j_decompress_ptr cinfo, JSAMPROW* rows, JDIMENSION count) {
    JDIMENSION done = 0;
    while (done < count) {
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows + done, count - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

// The decode proper. Written as C (see the top of the file): only trivially destructible locals,
// and `d` is the one thing read after a jump.
bool RunDecode(JpegDecoder* d, std::span<const uint8_t> data, cImage* out) {
    j_decompress_ptr cinfo = &d->cinfo;
    cinfo->err = jpeg_std_error(&d->trap.pub);
    d->trap.pub.error_exit = ExitToTrap;
    d->trap.pub.emit_message = OnMessage;
    if (setjmp(d->trap.jump) != 0) return false;

    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    d->progress.progress_monitor = LimitScans;
    cinfo->progress = &d->progress;
    jpeg_mem_src(cinfo, data.data(), static_cast<unsigned long>(data.size()));
    cinfo->client_data = d;
    jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, ReadApp1);
    if (d->info) jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, ReadApp2);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;

    bool cmyk = false;
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            cinfo->out_color_space = JCS_EXT_BGR;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo->out_color_space = JCS_CMYK;
            cmyk = true;
            break;
        default:
            return false;
    }
    if (!LoadableSize(cinfo->image_width, cinfo->image_height)) return false;
    const Orientation orientation = d->orientation;

    jpeg_start_decompress(cinfo);
    const JDIMENSION w = cinfo->output_width, h = cinfo->output_height;
    if (!LoadableSize(w, h)) return false;
    const bool swap = SwapsSides(orientation);
    if (out->CreateDIB(int32_t(swap ? h : w), int32_t(swap ? w : h)) != kDibOk) return false;
    const detail::Placement place{orientation, out->DIBitsPtr(), size_t(out->BytesPerScanLine()), w,
                                  h};

    JSAMPROW rows[kStripRows];
    if (!cmyk &&
        (orientation == Orientation::kNormal || orientation == Orientation::kMirrorVertical)) {
        // Straight into the buffer: stored row i is memory row h-1-i, or i when upside down.
        const bool upside_down = orientation == Orientation::kMirrorVertical;
        while (cinfo->output_scanline < h) {
            const JDIMENSION first = cinfo->output_scanline;
            const JDIMENSION count = std::min(kStripRows, h - first);
            for (JDIMENSION j = 0; j < count; ++j) {
                const JDIMENSION stored = first + j;
                rows[j] = place.bits + (upside_down ? stored : h - 1 - stored) * place.stride;
            }
            if (!ReadRows(cinfo, rows, count)) return false;
        }
    } else {
        const size_t strip_stride = size_t(cmyk ? 4 : 3) * w + kStripRowSlack;
        auto* strip = static_cast<uint8_t*>((*cinfo->mem->alloc_large)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, strip_stride * kStripRows));
        for (JDIMENSION j = 0; j < kStripRows; ++j) rows[j] = strip + j * strip_stride;
        while (cinfo->output_scanline < h) {
            const JDIMENSION first = cinfo->output_scanline;
            const JDIMENSION count = std::min(kStripRows, h - first);
            if (!ReadRows(cinfo, rows, count)) return false;
            if (cmyk) {
                for (JDIMENSION j = 0; j < count; ++j) CmykRowToBgr(rows[j], w);
            }
            detail::PlaceStrip(place, strip, strip_stride, first, count);
        }
    }
    // Reads up to the end of the file, so that damage after the last row still counts.
    jpeg_finish_decompress(cinfo);
    if (d->info) d->info->icc = JoinIccChunks(*d);
    return true;
}

}  // namespace

bool DecodeJpeg(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    JpegDecoder decoder;
    decoder.info = info;
    const bool ok = !data.empty() && RunDecode(&decoder, data, &out);
    if (!ok) {
        out.ReleaseDIB();
        if (info) *info = {};
    }
    return ok;
}

}  // namespace pictorra::image
