#pragma once
// Encoded pictures for the decoder tests, made by the tests themselves: JPEG files through
// libjpeg-turbo's encoder, GIF files through giflib's encoder or, for what giflib cannot write
// (no colour table, indices past the table, LZW code sizes above 8), through a writer of our own.
// Also a plain libjpeg decode to compare with.

#include <cstdint>
#include <optional>
#include <vector>

#include "test_support.h"

namespace pictorra::test {

// Top-down RGB from a pixel function.
RgbPicture MakeRgb(int w, int h, const std::function<Rgb(int, int)>& fn);

enum class JpegColour { kYCbCr, kGrey, kCmyk, kYcck };

struct JpegOptions {
    JpegColour colour = JpegColour::kYCbCr;
    int quality = 95;
    int luma_h = 2, luma_v = 2;  // luma sampling factors (chroma are 1 x 1)
    bool progressive = false;
    // Grey only: a progressive script with one scan per AC coefficient (64 scans), or with a
    // refinement pass as well (127 scans).
    int scans_per_coefficient = 0;
    int restart_interval = 0;   // in MCUs, 0 for none
    std::vector<uint8_t> app1;  // payload of an APP1 segment when not empty
};

// CMYK and YCCK files hold Adobe-style inverted values chosen so that C x K / 255 gives red back.
std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, const JpegOptions& options = {});

// The stored picture as plain libjpeg decodes it (RGB; CMYK through C x K / 255); no EXIF.
RgbPicture ReferenceDecodeJpeg(const std::vector<uint8_t>& file);

// An EXIF APP1 payload whose IFD0 holds a few tags with the orientation among them.
std::vector<uint8_t> ExifWithOrientation(int orientation, bool big_endian);

// Largest channel difference between two pictures of the same size; -1 when sizes differ.
int MaxDifference(const RgbPicture& a, const RgbPicture& b);
// Mean absolute channel difference; infinite when the sizes differ.
double MeanDifference(const RgbPicture& a, const RgbPicture& b);
RgbPicture ToRgb(const image::cImage& img);

struct GifImage {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<Rgb> palette;  // local colour table; none when empty
    int transparent = -1;      // graphic control extension before the image when >= 0
    std::vector<uint8_t> pixels;
};

// Through giflib's encoder; palette sizes must be powers of two.
std::vector<uint8_t> EncodeGif(int screen_w, int screen_h, const std::vector<Rgb>& global_palette,
                               const std::vector<GifImage>& images);

// One image, LZW-coded with the given minimum code size (2 to 11); any palette sizes and indices.
std::vector<uint8_t> EncodeGifRaw(int screen_w, int screen_h,
                                  const std::vector<Rgb>& global_palette, const GifImage& image,
                                  int code_size);

}  // namespace pictorra::test
