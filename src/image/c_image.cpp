#include "image/c_image.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pictorra::image {
namespace {

// Upper bound for one buffer: its size must fit the 32-bit PicSize and the machine's memory.
int64_t MaxBufferBytes() {
    int64_t limit = INT32_MAX;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0) limit = std::min<int64_t>(limit, int64_t{pages} * page_size);
    return limit;
}

// Pixel memory, freed with std::free. Large buffers are asked to be backed by huge pages: the first
// touch of fresh memory costs a page fault per 4 KiB page, which for a photograph-sized buffer
// adds a fifth to the time of decoding into it; with 2 MiB pages it is a few milliseconds.
void* AllocatePixels(size_t bytes) {
    constexpr size_t kHugePage = size_t{2} << 20;
    if (bytes < 4 * kHugePage) return std::malloc(bytes);
    const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);
    return p;
}

// Clips the copy of a w x h block from (sx, sy) in a source of sw x sh to (dx, dy) in a
// destination of dw x dh. Returns false when nothing is left.
bool ClipBlit(int32_t& dx, int32_t& dy, int32_t& w, int32_t& h, int32_t& sx, int32_t& sy,
              int32_t sw, int32_t sh, int32_t dw, int32_t dh) {
    int64_t x0 = dx, y0 = dy, sx0 = sx, sy0 = sy, ww = w, hh = h;
    // A negative start on one side moves both starts on and shortens the run by as much.
    const auto clip = [](int64_t& start, int64_t& other, int64_t& length) {
        if (start >= 0) return;
        other -= start;
        length += start;
        start = 0;
    };
    clip(sx0, x0, ww);
    clip(sy0, y0, hh);
    clip(x0, sx0, ww);
    clip(y0, sy0, hh);
    ww = std::min({ww, int64_t{sw} - sx0, int64_t{dw} - x0});
    hh = std::min({hh, int64_t{sh} - sy0, int64_t{dh} - y0});
    if (ww <= 0 || hh <= 0) return false;
    dx = static_cast<int32_t>(x0);
    dy = static_cast<int32_t>(y0);
    sx = static_cast<int32_t>(sx0);
    sy = static_cast<int32_t>(sy0);
    w = static_cast<int32_t>(ww);
    h = static_cast<int32_t>(hh);
    return true;
}

// Plain source copy between two views, top-down coordinates, clipped to both.
void Blit(ConstPixelView src, int32_t sx, int32_t sy, PixelView dst, int32_t dx, int32_t dy,
          int32_t w, int32_t h) {
    if (src.empty() || dst.empty()) return;
    if (!ClipBlit(dx, dy, w, h, sx, sy, src.width, src.height, dst.width, dst.height)) return;
    for (int32_t row = 0; row < h; ++row) {
        std::memmove(dst.Row(dy + row) + 3 * dx, src.Row(sy + row) + 3 * sx, size_t(3) * w);
    }
}

}  // namespace

void cImage::FreeBits::operator()(uint8_t* p) const { std::free(p); }

cImage::cImage(const cImage& other) : header_(other.header_) {
    if (!other.PicValid()) return;
    bits_.reset(static_cast<uint8_t*>(AllocatePixels(other.header_.biSizeImage)));
    if (bits_) {
        std::memcpy(bits_.get(), other.bits_.get(), other.header_.biSizeImage);
    }
}

cImage& cImage::operator=(const cImage& other) {
    if (this != &other) *this = cImage(other);
    return *this;
}

cImage::cImage(cImage&& other) noexcept : header_(other.header_), bits_(std::move(other.bits_)) {}

cImage& cImage::operator=(cImage&& other) noexcept {
    header_ = other.header_;
    bits_ = std::move(other.bits_);
    return *this;
}

PixelView cImage::View() {
    if (!PicValid()) return {};
    return {bits_.get(), Width(), Height(), BytesPerScanLine()};
}

ConstPixelView cImage::View() const {
    if (!PicValid()) return {};
    return {bits_.get(), Width(), Height(), BytesPerScanLine()};
}

void cImage::ReleaseDIB() { bits_.reset(); }

int32_t cImage::CreateDIB(int32_t LWidth, int32_t LHeight) {
    ReleaseDIB();
    header_ = BitmapInfoHeader{};
    header_.biWidth = LWidth;
    header_.biHeight = LHeight;
    if (LWidth < 1 || LHeight < 1) return kDibInvalidParameter;
    const int64_t stride = StrideFor(LWidth);
    const int64_t bytes = stride * LHeight;
    if (bytes > MaxBufferBytes()) return kDibNotEnoughMemory;
    header_.biSizeImage = static_cast<uint32_t>(bytes);
    bits_.reset(static_cast<uint8_t*>(AllocatePixels(static_cast<size_t>(bytes))));
    if (!bits_) return kDibNotEnoughMemory;
    // Padding bytes are written out by the BMP writer; give them a fixed value.
    const int64_t pad = stride - int64_t{3} * LWidth;
    if (pad > 0) {
        for (int64_t row = 0; row < LHeight; ++row) {
            std::memset(bits_.get() + row * stride + 3 * int64_t{LWidth}, 0, size_t(pad));
        }
    }
    return kDibOk;
}

int32_t cImage::CopyPictureBox(const cImage& box, int32_t LWide, int32_t LHigh) {
    // The box may be this very buffer; take a copy of it first in that case.
    if (&box == this) {
        const cImage copy(box);
        return CopyPictureBox(copy, LWide, LHigh);
    }
    const int32_t code = CreateDIB(LWide, LHigh);
    if (code != kDibOk) return code;
    FillRect(0, 0, LWide, LHigh, 0);
    Blit(box.View(), 0, 0, View(), 0, 0, LWide, LHigh);
    return kDibOk;
}

void cImage::FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    if (!PicValid()) return;
    int64_t x0 = std::max(0, x), y0 = std::max(0, y);
    int64_t x1 = std::min<int64_t>(Width(), int64_t{x} + w);
    int64_t y1 = std::min<int64_t>(Height(), int64_t{y} + h);
    if (x0 >= x1 || y0 >= y1) return;
    const uint8_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    const PixelView view = View();
    uint8_t* first = view.Row(static_cast<int32_t>(y0));
    for (int64_t c = x0; c < x1; ++c) {
        first[3 * c] = blue;
        first[3 * c + 1] = green;
        first[3 * c + 2] = red;
    }
    for (int64_t row = y0 + 1; row < y1; ++row) {
        std::memcpy(view.Row(static_cast<int32_t>(row)) + 3 * x0, first + 3 * x0,
                    size_t(3 * (x1 - x0)));
    }
}

cImage cImage::CropPic(int32_t DestX, int32_t DestY, int32_t DestWid, int32_t DestHt, int32_t SrcX,
                       int32_t SrcY) const {
    cImage out;
    if (out.CreateDIB(DestWid, DestHt) != kDibOk) return out;
    // Whatever the source does not cover stays black, as on a fresh bitmap.
    int32_t dx = DestX, dy = DestY, w = DestWid, h = DestHt, sx = SrcX, sy = SrcY;
    const bool full = DestX == 0 && DestY == 0 && PicValid() &&
                      ClipBlit(dx, dy, w, h, sx, sy, Width(), Height(), DestWid, DestHt) &&
                      dx == 0 && dy == 0 && w == DestWid && h == DestHt;
    if (!full) std::memset(out.DIBitsPtr(), 0, out.header_.biSizeImage);
    Blit(View(), SrcX, SrcY, out.View(), DestX, DestY, DestWid, DestHt);
    return out;
}

bool cImage::CropInPlace(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!PicValid() || w < 1 || h < 1 || x < 0 || y < 0 || int64_t{x} + w > Width() ||
        int64_t{y} + h > Height())
        return false;
    const int64_t old_stride = BytesPerScanLine();
    const int64_t new_stride = StrideFor(w);
    const int64_t first_row = int64_t{Height()} - y - h;  // memory row of the new bottom row
    uint8_t* bits = bits_.get();
    // Every row moves to a lower address (the new stride is no larger and the new bottom row is
    // no lower), so moving rows bottom up never overwrites a row still to be moved.
    for (int64_t r = 0; r < h; ++r) {
        uint8_t* dst = bits + r * new_stride;
        std::memmove(dst, bits + (first_row + r) * old_stride + 3 * int64_t{x}, size_t(3) * w);
        std::memset(dst + 3 * int64_t{w}, 0, size_t(new_stride - 3 * int64_t{w}));
    }
    header_.biWidth = w;
    header_.biHeight = h;
    header_.biSizeImage = static_cast<uint32_t>(new_stride * h);
    return true;
}

cImage cImage::MountPic(int32_t DestBoxWid, int32_t DestBoxHt, int32_t DestX, int32_t DestY,
                        int32_t SrcW, int32_t SrcH, uint32_t BackCol) const {
    cImage out;
    if (out.CreateDIB(DestBoxWid, DestBoxHt) != kDibOk) return out;
    out.FillRect(0, 0, DestBoxWid, DestBoxHt, BackCol);
    Blit(View(), 0, 0, out.View(), DestX, DestY, SrcW, SrcH);
    return out;
}

}  // namespace pictorra::image
