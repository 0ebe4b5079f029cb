#pragma once
// cImage: the one picture type of Pictorra.
//
// A picture is a single contiguous buffer in the 24-bit bottom-up device-independent bitmap
// layout:
//   * row stride BytesPerScanLine() = 3 x Width() rounded up to a multiple of 4; the bytes
//     after 3 x Width() in each row are padding and carry no meaning;
//   * memory row 0 is the BOTTOM row of the picture as seen ("dib_row"); drawing operations take
//     top-down device coordinates (x, y) where y = 0 is the top row, i.e. dib_row = Height()-1-y;
//   * a pixel is three bytes blue, green, red.
// Colours passed as 32-bit values are colour references: red in the low byte, then green, then
// blue (0xBBGGRR).
//
// Ownership: the instance owns its pixel memory; it moves cheaply and copies deeply. Producing
// operations (CropPic, MountPic, Resize) return a new instance and leave the source unchanged.
// Nothing here throws or aborts: failures are result codes, or an empty (PicValid() == false)
// result buffer.
//
// The engine keeps no global state, so different instances may be used from different threads.
//
// Threads: LightenPic, SharpenPic and Resize take a thread budget. 1 runs the operation on the
// calling thread and starts no thread; kAllCores lets it use every core; a budget above the
// core count is cut to it. A run over a folder, which already works on one picture per core,
// passes 1; a single picture passes kAllCores. Small pictures stay on the calling thread
// whatever the budget. The bytes never depend on the budget.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/pixel_view.h"

namespace pictorra::image {

// The 40-byte bitmap information header exactly as it is written into BMP files.
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Result codes of CreateDIB and the loaders.
inline constexpr int32_t kDibOk = 0;
inline constexpr int32_t kDibNoSurface = 1;          // also: "file cannot be decoded"
inline constexpr int32_t kDibNotEnoughMemory = 8;    // the buffer would not fit in memory
inline constexpr int32_t kDibInvalidParameter = 87;  // a side below 1

// Result codes of WriteBMP and WriteJPG besides 0 (written). On a failure errno says why.
inline constexpr int32_t kWriteEmptyBuffer = 1;   // nothing to write
inline constexpr int32_t kWriteCannotCreate = 2;  // no temporary file in the destination folder
inline constexpr int32_t kWriteFailed = 3;        // the encoder refused or a write failed
inline constexpr int32_t kWriteCannotCommit = 4;  // the finished file could not be put in place

// True when the JPEG encoder can be set up: the check the program makes at start-up, before
// anything could need to write a JPG.
bool JpegEncoderAvailable();

// ReadWholeFile's answer when the file's size changed while it was read (a copy still running).
inline constexpr int kFileChanged = -1;

// Reads the whole regular file at `path` into `bytes` (whose capacity is kept, so a caller that
// reads many files reuses one allocation). Returns 0, an errno value, or kFileChanged when the
// file shrank or grew while it was read. Never maps the file: a file truncated under a mapping
// would kill the process. `after_size_known`, when given, runs between taking the size and
// reading (tests change the file there).
int ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes,
                  const std::function<void()>& after_size_known = {});

// Largest picture the loaders accept; checked from the file header before any large allocation.
inline constexpr int64_t kMaxLoadPixels = int64_t{1} << 27;  // 134,217,728
inline constexpr int32_t kMaxLoadSide = 65535;

// Row stride for a width, in one place.
constexpr int64_t StrideFor(int64_t width) { return (width * 3 + 3) & ~int64_t{3}; }

inline constexpr int32_t kAllCores = 0;  // an operation may use every core

// What a decoder found in the file beside the pixels.
struct PictureInfo {
    // The embedded ICC colour profile, whole; empty when the file has none. For HEIF a profile
    // made from the file's nclx colour description.
    std::vector<uint8_t> icc;
    // The EXIF block in TIFF layout (from its "II*\0" or "MM\0*" header; a JPEG's "Exif\0\0"
    // prefix is not part of it); empty when the file has none.
    std::vector<uint8_t> exif;
};

class cImage {
public:
    cImage() = default;
    cImage(const cImage& other);
    cImage& operator=(const cImage& other);
    cImage(cImage&& other) noexcept;
    cImage& operator=(cImage&& other) noexcept;
    ~cImage() = default;

    // ---- read-only properties -------------------------------------------------------------
    int32_t Width() const { return header_.biWidth; }
    int32_t Height() const { return header_.biHeight; }
    int16_t BitCount() const { return static_cast<int16_t>(header_.biBitCount); }
    uint8_t* DIBitsPtr() { return bits_.get(); }
    const uint8_t* DIBitsPtr() const { return bits_.get(); }
    int32_t BytesPerScanLine() const { return static_cast<int32_t>(StrideFor(header_.biWidth)); }
    int32_t PicSize() const { return static_cast<int32_t>(header_.biSizeImage); }
    bool PicValid() const { return bits_ != nullptr; }
    const BitmapInfoHeader& Header() const { return header_; }

    // Mutable / read-only views over the pixel memory (empty views when !PicValid()).
    PixelView View();
    ConstPixelView View() const;

    // ---- buffer life ---------------------------------------------------------------------
    // Releases any current buffer and makes a new LWidth x LHeight one. Returns 0, 87 when a
    // side is below 1, or 8 when the buffer would exceed the memory available (nothing is
    // allocated then). The new pixels are not initialised.
    [[nodiscard]] int32_t CreateDIB(int32_t LWidth, int32_t LHeight);

    // Decodes a BMP, JPG/JPEG, GIF, PNG, WebP, TIFF or HEIF file into this buffer, upright (the
    // file's orientation applied) and in sRGB (a picture with another embedded colour profile is
    // converted). Returns 0, or 1 for any file that cannot be read or decoded; the buffer is then
    // empty.
    [[nodiscard]] int32_t LoadPicture(const std::string& sPath);
    // The same, reading through `file_bytes` (reused across calls). On 1, `why` is ReadWholeFile's
    // answer, or 0 when the file was read but is not a picture that can be decoded. `info`, when
    // given, receives the file's colour profile and EXIF block (both empty on failure). The
    // colour conversion uses at most `threads` threads.
    [[nodiscard]] int32_t LoadPicture(const std::string& sPath, std::vector<uint8_t>& file_bytes,
                                      int& why, PictureInfo* info = nullptr,
                                      int32_t threads = kAllCores);
    // The same for a file already in memory; `extension` (any case, without the dot) chooses the
    // decoder; an unknown extension is told by the leading bytes.
    [[nodiscard]] int32_t LoadPictureData(std::span<const uint8_t> data,
                                          const std::string& extension, PictureInfo* info = nullptr,
                                          int32_t threads = kAllCores);

    // Takes the LWide x LHigh rectangle at the top-left of another surface (the preview picture
    // box). Parts outside that surface come out black. Returns CreateDIB's code.
    [[nodiscard]] int32_t CopyPictureBox(const cImage& box, int32_t LWide, int32_t LHigh);

    // Frees the buffer; Width()/Height() keep reporting the last size.
    void ReleaseDIB();

    // ---- writers -------------------------------------------------------------------------
    // Both writers write a temporary file in the destination folder and rename it over sPath
    // only when it is complete, so no truncated picture is ever left behind and a file already
    // there stays whole until the new one replaces it. Both return 0 when written, else one of
    // the kWrite codes (no file is left then, and errno says why). WriteJPG writes `exif` (an
    // EXIF block in TIFF layout, see OutputExif) into the file; a block larger than one JPEG
    // segment holds is left out. BMP files carry no photo information.
    [[nodiscard]] int32_t WriteBMP(const std::string& sPath) const;
    [[nodiscard]] int32_t WriteJPG(const std::string& sPath, int32_t Quality,
                                   std::span<const uint8_t> exif = {}) const;

    // ---- copy, crop, mount (top-down device coordinates) ------------------------------------
    // Draws the (0, 0, SrcW, SrcH) rectangle of this buffer stretched into the rectangle
    // (DestX, DestY, DestW, DestH) of `dest`. Equal sizes copy exactly; shrinking averages areas.
    void CopyPic(cImage& dest, int32_t DestW, int32_t DestH, int32_t DestX, int32_t DestY,
                 int32_t SrcW, int32_t SrcH) const;
    [[nodiscard]] cImage CropPic(int32_t DestX, int32_t DestY, int32_t DestWid, int32_t DestHt,
                                 int32_t SrcX, int32_t SrcY) const;
    [[nodiscard]] cImage MountPic(int32_t DestBoxWid, int32_t DestBoxHt, int32_t DestX,
                                  int32_t DestY, int32_t SrcW, int32_t SrcH,
                                  uint32_t BackCol) const;
    // Keeps only the w x h rectangle whose top-left pixel is (x, y), in the same memory: the
    // bytes CropPic(0, 0, w, h, x, y) would give, without a second buffer. Only for a rectangle
    // inside the picture; returns false and changes nothing otherwise.
    bool CropInPlace(int32_t x, int32_t y, int32_t w, int32_t h);
    // Fills the rectangle (x, y, w, h), clipped to the buffer, with a colour reference.
    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);

    // ---- tonal operations (in place) -------------------------------------------------------
    void DarkenPic(int32_t Part255);
    void LightenPic(int32_t LPerc, int32_t Threads = kAllCores);
    void SharpenPic(bool IfSharpen, int32_t Threads = kAllCores);

    // ---- bands (in place; YSt and LHigh are memory rows counted from the bottom) --------------
    void BevelPic(int32_t LWide, int32_t LHigh, int32_t XSt, int32_t YSt, int32_t LThick,
                  int32_t iFactor, int32_t LStep);
    void BorderPic(int32_t LWide, int32_t LHigh, int32_t XSt, int32_t YSt, int32_t LThick,
                   uint32_t LColor);

    // ---- text --------------------------------------------------------------------------
    // Draws UTF-8 text with its first line's top-left at device point (XPt, YPt). FontH is the
    // character cell height in pixels, FontW the average character width (0: the face's own).
    void DrawText(const std::string& sText, const std::string& sFontName, bool IfBold, int32_t XPt,
                  int32_t YPt, int32_t FontH, int32_t FontW, uint32_t LTextCol);

    // ---- resize --------------------------------------------------------------------------
    // A new LWidth x LHeight buffer: linear (standard) or cubic (high quality) resampling.
    // Empty when the new buffer cannot be created.
    [[nodiscard]] cImage Resize(int32_t LWidth, int32_t LHeight, bool HighQuality,
                                int32_t Threads = kAllCores) const;

private:
    struct FreeBits {
        void operator()(uint8_t* p) const;
    };
    BitmapInfoHeader header_;
    std::unique_ptr<uint8_t, FreeBits> bits_;
};

// ---- text: what a caption can be drawn with, and its size ----------------------------------

// Every font family installed for fontconfig that DrawText can draw with (scalable, not colour):
// one UTF-8 name per family (in the default language when the family has names in several),
// no name twice, ordered without regard to ASCII letter case and then by bytes, so a list of
// them always shows in the same order. Empty when fontconfig cannot be asked.
std::vector<std::string> InstalledFontFaces();

// The size in pixels DrawText's text takes with the same arguments: the widest line's pen
// advance (rounded up to whole pixels) by the number of lines times the cell height. Glyphs
// may reach a little past the width (overhangs such as an italic tail), never above or below
// their lines' cells. {0, 0} for an empty text or when no face can be found.
struct TextExtent {
    int32_t width = 0;
    int32_t height = 0;
};
TextExtent MeasureText(const std::string& sText, const std::string& sFontName, bool IfBold,
                       int32_t FontH, int32_t FontW);

}  // namespace pictorra::image
