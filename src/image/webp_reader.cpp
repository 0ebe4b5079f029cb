// WebP decoding with libwebp, from memory.
//
// A still picture without alpha is decoded straight into the bottom-up BGR buffer: libwebp's
// vertical flip writes the first row last, so there is no intermediate picture and no extra
// pass. A picture with alpha goes through libwebp's own BGRA buffer and is composed over white.
//
// An animation shows its first frame the way a viewer starts it: on a canvas that begins fully
// transparent (the background colour in the file is only a hint, and viewers ignore it), so the
// canvas is white and the first frame is composed onto it at its offset.
//
// The extended format's chunks give the colour profile (ICCP) and the EXIF block; the EXIF
// orientation is applied. libwebp has no memory limit of its own: its working memory follows
// the picture's size, so the size is checked against the load caps before anything is decoded.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/codecs.h"
#include "image/exif.h"
#include "image/over_white.h"
#include "image/owned.h"

namespace pictorra::image {
namespace {

using DemuxHandle = Owned<WebPDemuxer, WebPDemuxDelete>;

// The extended format (a VP8X chunk first) is the only one with metadata or animation.
bool IsExtended(std::span<const uint8_t> data) {
    return data.size() >= 16 && std::memcmp(data.data() + 12, "VP8X", 4) == 0;
}

// A copy of the first chunk of a kind; empty when there is none.
std::vector<uint8_t> ChunkBytes(WebPDemuxer* demux, const char* fourcc) {
    std::vector<uint8_t> bytes;
    WebPChunkIterator chunk{};
    if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk) != 0 && chunk.chunk.bytes != nullptr) {
        bytes.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    }
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

// The EXIF block in TIFF layout: some writers put JPEG's "Exif\0\0" in front of it.
std::vector<uint8_t> ExifBlock(WebPDemuxer* demux) {
    std::vector<uint8_t> exif = ChunkBytes(demux, "EXIF");
    if (IsExifPayload(exif)) exif.erase(exif.begin(), exif.begin() + sizeof kExifSignature);
    return exif;
}

// Frees libwebp's own output buffer, when it made one.
struct OutputGuard {
    WebPDecBuffer* buffer;
    ~OutputGuard() { WebPFreeDecBuffer(buffer); }
};

// A still picture without alpha, straight into a new picture: with the flip, libwebp writes the
// top row at the end of the buffer, which in a bottom-up picture is where the top row belongs.
bool DecodeOpaqueStill(std::span<const uint8_t> file, int32_t width, int32_t height, cImage& out) {
    if (out.CreateDIB(width, height) != kDibOk) return false;
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0) return false;
    const OutputGuard guard{&config.output};
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.options.flip = 1;
    config.output.u.RGBA.rgba = out.DIBitsPtr();
    config.output.u.RGBA.stride = out.BytesPerScanLine();
    config.output.u.RGBA.size = size_t(out.PicSize());
    return WebPDecode(file.data(), file.size(), &config) == VP8_STATUS_OK;
}

// Any other bitstream (with alpha, or an animation frame) through libwebp's own BGRA buffer,
// composed over white into the picture at (left, top), rows counted from the top. libwebp
// allocates that buffer only once the bitstream's headers have been read, so a damaged file fails
// before any picture-sized memory is touched: `prepare` makes the picture after the decode.
template <typename Prepare>
bool DecodeComposed(std::span<const uint8_t> bitstream, cImage& out, int32_t left, int32_t top,
                    Prepare prepare) {
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0) return false;
    const OutputGuard guard{&config.output};
    config.output.colorspace = MODE_BGRA;
    if (WebPDecode(bitstream.data(), bitstream.size(), &config) != VP8_STATUS_OK) return false;
    if (!prepare()) return false;
    const WebPRGBABuffer& bgra = config.output.u.RGBA;
    const PixelView view = out.View();
    const int32_t width = config.output.width, height = config.output.height;
    if (left + width > view.width || top + height > view.height) return false;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = bgra.rgba + size_t(bgra.stride) * size_t(y);
        uint8_t* dst = view.Row(top + y) + size_t(3) * size_t(left);
        ComposeBgraOverWhite(src, dst, width);
    }
    return true;
}

// The first frame of an animation on its white canvas.
bool DecodeFirstFrame(WebPDemuxer* demux, cImage& out) {
    const int64_t canvas_width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    const int64_t canvas_height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    if (!LoadableSize(canvas_width, canvas_height)) return false;
    WebPIterator frame{};
    if (WebPDemuxGetFrame(demux, 1, &frame) == 0) return false;
    const std::span<const uint8_t> bitstream(frame.fragment.bytes, frame.fragment.size);
    const int64_t left = frame.x_offset, top = frame.y_offset;
    WebPDemuxReleaseIterator(&frame);

    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(bitstream.data(), bitstream.size(), &features) != VP8_STATUS_OK) {
        return false;
    }
    if (left < 0 || top < 0 || left + features.width > canvas_width ||
        top + features.height > canvas_height) {
        return false;
    }
    const auto w = int32_t(canvas_width), h = int32_t(canvas_height);
    return DecodeComposed(bitstream, out, int32_t(left), int32_t(top), [&] {
        if (out.CreateDIB(w, h) != kDibOk) return false;
        out.FillRect(0, 0, w, h, 0xFFFFFF);
        return true;
    });
}

bool DecodeWebpInto(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK) return false;
    DemuxHandle demux;
    if (IsExtended(data)) {
        const WebPData whole{data.data(), data.size()};
        demux.reset(WebPDemux(&whole));
    }
    if (features.has_animation) {
        if (!demux || !DecodeFirstFrame(demux.get(), out)) return false;
    } else {
        const int32_t w = features.width, h = features.height;
        if (!LoadableSize(w, h)) return false;
        const bool decoded =
            features.has_alpha
                ? DecodeComposed(data, out, 0, 0, [&] { return out.CreateDIB(w, h) == kDibOk; })
                : DecodeOpaqueStill(data, w, h, out);
        if (!decoded) return false;
    }
    // A still file whose chunks the demuxer cannot follow still has its picture; it just has
    // no metadata.
    if (!demux) return true;
    std::vector<uint8_t> exif = ExifBlock(demux.get());
    ApplyOrientation(out, TiffOrientation(exif));
    if (!out.PicValid()) return false;
    if (info) {
        info->icc = ChunkBytes(demux.get(), "ICCP");
        info->exif = std::move(exif);
    }
    return true;
}

}  // namespace

bool DecodeWebp(std::span<const uint8_t> data, cImage& out, PictureInfo* info) {
    return DecodeOrNothing(data, out, info, DecodeWebpInto);
}

}  // namespace pictorra::image
