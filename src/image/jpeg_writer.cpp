// cImage::WriteJPG: baseline JPEG through libjpeg-turbo's libjpeg API, fed straight from the
// bottom-up BGR buffer (top picture row first), written through AtomicFile so that a failed
// write never leaves a file behind. An EXIF block, when given, follows the JFIF header as an
// APP1 "Exif\0\0" segment, where readers look for it; without one the file is byte for byte
// what it would be without the parameter.
//
// Encoder settings: the library's defaults (JFIF header, accurate integer DCT) with the given
// quality on the standard tables, optimised Huffman tables, and chroma at half resolution both
// ways (4:2:0) below quality 100, full resolution (4:4:4) at 100.
//
// As in the decoder, libjpeg's fatal errors longjmp back to CompressTo, which holds no object with
// a destructor; the encoder state and the file belong to the caller.
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "image/atomic_file.h"
#include "image/c_image.h"
#include "image/exif.h"
#include "image/jpeg_trap.h"

namespace pictorra::image {
namespace {

// Rows handed to libjpeg per call.
constexpr int32_t kRowsPerCall = 16;
// A marker segment's payload: 65535 bytes less its two-byte length field.
constexpr size_t kMaxApp1Payload = 65533;

using detail::ErrorTrap;
using detail::ExitToTrap;

void IgnoreMessage(j_common_ptr, int) {}

struct JpegEncoder {
    JpegEncoder() = default;
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;
    ~JpegEncoder() { jpeg_destroy_compress(&cinfo); }

    jpeg_compress_struct cinfo{};
    ErrorTrap trap{};
};

// Written as C (see the top of the file); `e` is the one thing read after a jump.
// `app1` is the whole EXIF segment payload ("Exif\0\0" and the block), empty for none.
bool CompressTo(JpegEncoder* e, FILE* file, ConstPixelView view, int quality, const uint8_t* app1,
                unsigned app1_size) {
    j_compress_ptr cinfo = &e->cinfo;
    cinfo->err = jpeg_std_error(&e->trap.pub);
    e->trap.pub.error_exit = ExitToTrap;
    e->trap.pub.emit_message = IgnoreMessage;
    if (setjmp(e->trap.jump) != 0) return false;

    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    cinfo->image_width = static_cast<JDIMENSION>(view.width);
    cinfo->image_height = static_cast<JDIMENSION>(view.height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->optimize_coding = TRUE;
    const int luma_sampling = quality >= 100 ? 1 : 2;
    cinfo->comp_info[0].h_samp_factor = luma_sampling;
    cinfo->comp_info[0].v_samp_factor = luma_sampling;
    jpeg_start_compress(cinfo, TRUE);
    if (app1_size > 0) jpeg_write_marker(cinfo, JPEG_APP0 + 1, app1, app1_size);

    JSAMPROW rows[kRowsPerCall];
    while (cinfo->next_scanline < cinfo->image_height) {
        const JDIMENSION first = cinfo->next_scanline;
        const auto count = std::min<JDIMENSION>(kRowsPerCall, cinfo->image_height - first);
        for (JDIMENSION j = 0; j < count; ++j) {
            // Top-down rows from the bottom-up buffer; libjpeg only reads them.
            rows[j] = const_cast<JSAMPROW>(view.Row(static_cast<int32_t>(first + j)));
        }
        if (jpeg_write_scanlines(cinfo, rows, count) == 0) return false;
    }
    jpeg_finish_compress(cinfo);
    return true;
}

// Written as C, as CompressTo.
bool CreateEncoder(JpegEncoder* e) {
    e->cinfo.err = jpeg_std_error(&e->trap.pub);
    e->trap.pub.error_exit = ExitToTrap;
    e->trap.pub.emit_message = IgnoreMessage;
    if (setjmp(e->trap.jump) != 0) return false;
    jpeg_create_compress(&e->cinfo);
    return true;
}

}  // namespace

bool JpegEncoderAvailable() {
    JpegEncoder encoder;
    return CreateEncoder(&encoder);
}

int32_t cImage::WriteJPG(const std::string& sPath, int32_t Quality,
                         std::span<const uint8_t> exif) const {
    if (!PicValid()) return kWriteEmptyBuffer;
    // One segment holds the whole block or none of it: a block that does not fit is left out
    // rather than cut.
    std::vector<uint8_t> app1;
    if (!exif.empty() && exif.size() <= kMaxApp1Payload - sizeof(kExifSignature)) {
        app1.reserve(sizeof(kExifSignature) + exif.size());
        app1.insert(app1.end(), std::begin(kExifSignature), std::end(kExifSignature));
        app1.insert(app1.end(), exif.begin(), exif.end());
    }
    AtomicFile out(sPath);
    if (!out.ok()) return kWriteCannotCreate;
    {
        JpegEncoder encoder;
        if (!CompressTo(&encoder, out.file(), View(), std::clamp(Quality, 0, 100), app1.data(),
                        static_cast<unsigned>(app1.size()))) {
            return kWriteFailed;
        }
    }
    if (out.Commit()) return kDibOk;
    return out.failure() == AtomicFile::Failure::kRename ? kWriteCannotCommit : kWriteFailed;
}

}  // namespace pictorra::image
