// cImage::WriteBMP: the 14-byte file header, the buffer's 40-byte information header as held, and
// the pixel memory as it is (bottom row first, rows padded to BytesPerScanLine), all integers
// little-endian. The file is written under a temporary name and renamed into place when complete
// (AtomicFile), so a failed write leaves no file and does not harm one already there.
#include <array>
#include <cstdio>

#include "image/atomic_file.h"
#include "image/c_image.h"

namespace pictorra::image {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kHeadersBytes = kFileHeaderBytes + sizeof(BitmapInfoHeader);  // 54

void Put16(uint8_t*& p, uint16_t v) {
    *p++ = uint8_t(v);
    *p++ = uint8_t(v >> 8);
}

void Put32(uint8_t*& p, uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = uint8_t(v >> (8 * i));
}

}  // namespace

int32_t cImage::WriteBMP(const std::string& sPath) const {
    if (!PicValid()) return kWriteEmptyBuffer;
    const BitmapInfoHeader& h = header_;

    std::array<uint8_t, kHeadersBytes> head{};
    uint8_t* p = head.data();
    Put16(p, 0x4D42);                         // "BM"
    Put32(p, kHeadersBytes + h.biSizeImage);  // file size
    Put16(p, 0);                              // reserved
    Put16(p, 0);                              // reserved
    Put32(p, kHeadersBytes);                  // offset of the pixel data
    Put32(p, h.biSize);
    Put32(p, uint32_t(h.biWidth));
    Put32(p, uint32_t(h.biHeight));
    Put16(p, h.biPlanes);
    Put16(p, h.biBitCount);
    Put32(p, h.biCompression);
    Put32(p, h.biSizeImage);
    Put32(p, uint32_t(h.biXPelsPerMeter));
    Put32(p, uint32_t(h.biYPelsPerMeter));
    Put32(p, h.biClrUsed);
    Put32(p, h.biClrImportant);

    AtomicFile out(sPath);
    if (!out.ok()) return kWriteCannotCreate;
    if (std::fwrite(head.data(), 1, head.size(), out.file()) != head.size() ||
        std::fwrite(bits_.get(), 1, h.biSizeImage, out.file()) != h.biSizeImage) {
        return kWriteFailed;  // AtomicFile removes the unfinished temporary file
    }
    if (out.Commit()) return kDibOk;
    return out.failure() == AtomicFile::Failure::kRename ? kWriteCannotCommit : kWriteFailed;
}

}  // namespace pictorra::image
