// GIF decoding with giflib's record-level API: only the first image is decoded, straight into the
// picture buffer one line at a time, and reading stops there (a file may hold hundreds of
// frames; giflib's DGifSlurp would decode them all into memory).
//
// The picture covers the logical screen, grown where the first image reaches past it (so a
// 0 x 0 screen takes the image's size). Pixels the image does not cover, and pixels of the
// transparent colour of the graphic control extension before the image, are white. An image
// without any colour table is read as greyscale (index = grey level). Every index, whatever the
// table's size, maps to a colour: indices past the table are black.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/codecs.h"

namespace pictorra::image {
namespace {

struct MemoryReader {
    std::span<const uint8_t> data;
    size_t position = 0;
    bool ran_out = false;  // the last read found fewer bytes than it asked for
};

// giflib's input callback: copies up to `length` bytes; a short count is a read error to giflib.
int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t count = std::min(size_t(length), reader->data.size() - reader->position);
    if (count > 0) std::memcpy(buffer, reader->data.data() + reader->position, count);
    reader->position += count;
    reader->ran_out = count < size_t(length);
    return static_cast<int>(count);
}

// GIF's variable-width LZW for the minimum code sizes 9 to 11, which the format does not allow
// and giflib refuses, but which encoders have written and other readers accept. Reads the data
// sub-blocks that follow the code size straight from the memory reader. Every table index is
// checked, so damaged data only ends the decode.
class WideLzwDecoder {
public:
    static constexpr int kMinCodeSize = 9;
    static constexpr int kMaxCodeSize = 11;  // 12 would leave no code for the clear code

    WideLzwDecoder(MemoryReader& reader, int code_size)
        : reader_(reader), clear_(1 << code_size), end_(clear_ + 1) {
        for (int code = 0; code < clear_; ++code) {
            suffix_[size_t(code)] = first_[size_t(code)] = uint8_t(code);
        }
        Reset();
    }

    // Decodes the next `width` pixels; false when the data is damaged or ends first.
    bool ReadLine(GifPixelType* line, int32_t width) {
        for (int32_t x = 0; x < width;) {
            if (stack_size_ > 0) {
                line[x++] = stack_[size_t(--stack_size_)];
                continue;
            }
            int code = 0;
            if (!NextCode(code) || code == end_) return false;
            if (code == clear_) {
                Reset();
                continue;
            }
            if (previous_ < 0) {
                if (code >= clear_) return false;
                stack_[size_t(stack_size_++)] = first_[size_t(code)];
                previous_ = code;
                continue;
            }
            if (code > next_) return false;
            // The string of `code`; for the code not yet in the table (next_), the string of
            // the previous code followed by its own first byte.
            int walk = code;
            if (code == next_) {
                stack_[size_t(stack_size_++)] = first_[size_t(previous_)];
                walk = previous_;
            }
            while (walk > end_) {
                stack_[size_t(stack_size_++)] = suffix_[size_t(walk)];
                walk = prefix_[size_t(walk)];
            }
            stack_[size_t(stack_size_++)] = first_[size_t(walk)];
            if (next_ < kTableSize) {
                prefix_[size_t(next_)] = uint16_t(previous_);
                suffix_[size_t(next_)] = first_[size_t(code == next_ ? previous_ : code)];
                first_[size_t(next_)] = first_[size_t(previous_)];
                ++next_;
                if (next_ == (1 << code_width_) && code_width_ < 12) ++code_width_;
            }
            previous_ = code;
        }
        return true;
    }

    // Skips what is left of the data up to its terminating empty block, as giflib does after
    // the last pixel; false when the file ends first.
    bool Finish() {
        uint8_t byte = 0;
        while (NextByte(byte)) {
        }
        return blocks_ended_;
    }

private:
    static constexpr int kTableSize = 4096;

    void Reset() {
        next_ = end_ + 1;
        code_width_ = 0;
        while ((1 << code_width_) <= end_) ++code_width_;
        previous_ = -1;
    }

    bool NextByte(uint8_t& byte) {
        const std::span<const uint8_t> data = reader_.data;
        while (block_left_ == 0) {
            if (blocks_ended_ || reader_.position >= data.size()) return false;
            block_left_ = data[reader_.position++];
            blocks_ended_ = block_left_ == 0;
        }
        if (reader_.position >= data.size()) return false;
        byte = data[reader_.position++];
        --block_left_;
        return true;
    }

    bool NextCode(int& code) {
        while (bit_count_ < code_width_) {
            uint8_t byte = 0;
            if (!NextByte(byte)) return false;
            bits_ |= uint32_t{byte} << bit_count_;
            bit_count_ += 8;
        }
        code = int(bits_ & ((1u << code_width_) - 1));
        bits_ >>= code_width_;
        bit_count_ -= code_width_;
        return true;
    }

    MemoryReader& reader_;
    const int clear_, end_;
    int next_ = 0, code_width_ = 0, previous_ = -1;
    uint32_t bits_ = 0;
    int bit_count_ = 0;
    size_t block_left_ = 0;
    bool blocks_ended_ = false;
    std::array<uint16_t, kTableSize> prefix_{};
    std::array<uint8_t, kTableSize> suffix_{}, first_{};
    std::array<uint8_t, kTableSize + 1> stack_{};
    int stack_size_ = 0;
};

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The LZW code size of the image whose descriptor starts at `descriptor`, when giflib has read
// exactly up to it and it is one WideLzwDecoder takes; -1 otherwise.
int WideCodeSizeAt(const MemoryReader& reader, size_t descriptor) {
    constexpr size_t kDescriptorBytes = 9;
    const std::span<const uint8_t> data = reader.data;
    if (reader.ran_out || descriptor + kDescriptorBytes > data.size()) return -1;
    const uint8_t flags = data[descriptor + kDescriptorBytes - 1];
    const size_t table_bytes = (flags & 0x80) != 0 ? size_t{3} << ((flags & 7) + 1) : 0;
    const size_t code_size_at = descriptor + kDescriptorBytes + table_bytes;
    if (reader.position != code_size_at + 1) return -1;
    const int code_size = data[code_size_at];
    if (code_size < WideLzwDecoder::kMinCodeSize || code_size > WideLzwDecoder::kMaxCodeSize) {
        return -1;
    }
    return code_size;
}

// Blue, green, red for every possible index.
using Palette = std::array<uint8_t, 256 * 3>;

Palette MakePalette(const ColorMapObject* map, int transparent) {
    Palette palette{};  // indices past the table stay black
    if (map == nullptr || map->Colors == nullptr) {
        for (int i = 0; i < 256; ++i) std::memset(&palette[size_t(3) * i], i, 3);
    } else {
        const int count = std::clamp(map->ColorCount, 0, 256);
        for (int i = 0; i < count; ++i) {
            palette[size_t(3) * i] = map->Colors[i].Blue;
            palette[size_t(3) * i + 1] = map->Colors[i].Green;
            palette[size_t(3) * i + 2] = map->Colors[i].Red;
        }
    }
    if (transparent >= 0 && transparent < 256) {
        std::memset(&palette[size_t(3) * transparent], 255, 3);
    }
    return palette;
}

// Skips one extension; keeps the transparent index of a graphic control extension (-1: none).
bool ReadExtension(GifFileType* gif, int& transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock control{};
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparent = control.TransparentColor;
        }
    }
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// The rows of an image in the order they are stored: four passes when interlaced.
std::vector<int32_t> StoredRowOrder(int32_t height, bool interlaced) {
    std::vector<int32_t> order;
    order.reserve(size_t(height));
    if (!interlaced) {
        for (int32_t row = 0; row < height; ++row) order.push_back(row);
        return order;
    }
    static constexpr int32_t kStart[4] = {0, 4, 2, 1};
    static constexpr int32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int32_t row = kStart[pass]; row < height; row += kStep[pass]) order.push_back(row);
    }
    return order;
}

bool DecodeFirstImage(GifFileType* gif, MemoryReader& reader, int transparent, cImage& out) {
    std::unique_ptr<WideLzwDecoder> wide_lzw;
    const size_t descriptor = reader.position;
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        // giflib reads the LZW code size last and refuses one above 8. Go on only when it has
        // read exactly the descriptor, its colour table and that one byte.
        const int code_size = WideCodeSizeAt(reader, descriptor);
        if (code_size < 0) return false;
        wide_lzw = std::make_unique<WideLzwDecoder>(reader, code_size);
    }
    const GifImageDesc& desc = gif->Image;
    const int64_t left = desc.Left, top = desc.Top, width = desc.Width, height = desc.Height;
    if (left < 0 || top < 0 || width < 1 || height < 1) return false;
    const int64_t canvas_width = std::max<int64_t>(gif->SWidth, left + width);
    const int64_t canvas_height = std::max<int64_t>(gif->SHeight, top + height);
    if (!LoadableSize(canvas_width, canvas_height)) return false;

    const Palette palette =
        MakePalette(desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap, transparent);
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    const std::vector<int32_t> row_order = StoredRowOrder(int32_t(height), desc.Interlace);
    if (out.CreateDIB(int32_t(canvas_width), int32_t(canvas_height)) != kDibOk) return false;

    // White around the image (nothing when it covers the screen, the usual case).
    constexpr uint32_t kWhite = 0xFFFFFF;
    const auto cw = int32_t(canvas_width), ch = int32_t(canvas_height);
    const auto x0 = int32_t(left), y0 = int32_t(top), w = int32_t(width), h = int32_t(height);
    out.FillRect(0, 0, cw, y0, kWhite);
    out.FillRect(0, y0 + h, cw, ch - y0 - h, kWhite);
    out.FillRect(0, y0, x0, h, kWhite);
    out.FillRect(x0 + w, y0, cw - x0 - w, h, kWhite);

    const PixelView view = out.View();
    for (const int32_t row : row_order) {
        const bool read = wide_lzw ? wide_lzw->ReadLine(line.data(), w)
                                   : DGifGetLine(gif, line.data(), w) != GIF_ERROR;
        if (!read) return false;
        uint8_t* dst = view.Row(y0 + row) + size_t(3) * x0;
        for (int32_t x = 0; x < w; ++x, dst += 3) {
            std::memcpy(dst, &palette[size_t(3) * line[size_t(x)]], 3);
        }
    }
    return !wide_lzw || wide_lzw->Finish();
}

bool DecodeGifInto(std::span<const uint8_t> data, cImage& out) {
    MemoryReader reader{data};
    int error = 0;
    const GifHandle gif(DGifOpen(&reader, ReadFromMemory, &error));
    if (!gif) return false;
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return false;
        switch (type) {
            case EXTENSION_RECORD_TYPE:
                if (!ReadExtension(gif.get(), transparent)) return false;
                break;
            case IMAGE_DESC_RECORD_TYPE:
                return DecodeFirstImage(gif.get(), reader, transparent, out);
            default:  // the trailer before any image, or a record giflib does not know
                return false;
        }
    }
}

}  // namespace

bool DecodeGif(std::span<const uint8_t> data, cImage& out) {
    bool ok = false;
    try {
        ok = DecodeGifInto(data, out);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) out.ReleaseDIB();
    return ok;
}

}  // namespace pictorra::image
