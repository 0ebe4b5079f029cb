#pragma once
// Integers of a TIFF-layout block (EXIF) in the block's byte order. Reads are only made where
// Fits says the bytes are there; the callers check before they read.

#include <cstddef>
#include <cstdint>
#include <span>

namespace pictorra::image {

class TiffBytes {
public:
    TiffBytes(std::span<const uint8_t> block, bool big_endian)
        : block_(block), big_endian_(big_endian) {}

    bool BigEndian() const { return big_endian_; }
    std::span<const uint8_t> Bytes() const { return block_; }

    bool Fits(uint64_t offset, uint64_t length) const {
        return offset <= block_.size() && length <= block_.size() - offset;
    }
    uint8_t U8(size_t at) const { return block_[at]; }
    uint16_t U16(size_t at) const {
        const uint8_t* p = block_.data() + at;
        return big_endian_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t at) const {
        const uint8_t* p = block_.data() + at;
        return big_endian_
                   ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                   : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

    // Writes in the same byte order, into a block being made.
    void Put16(uint8_t* p, uint16_t v) const {
        p[0] = uint8_t(big_endian_ ? v >> 8 : v);
        p[1] = uint8_t(big_endian_ ? v : v >> 8);
    }
    void Put32(uint8_t* p, uint32_t v) const {
        for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (big_endian_ ? 24 - 8 * i : 8 * i));
    }

private:
    std::span<const uint8_t> block_;
    bool big_endian_;
};

}  // namespace pictorra::image
