// GIF reading: the first image only, on a white screen. Fixtures come from giflib's encoder and,
// for what it cannot write, from our own; hostile files fail promptly.
#include <gtest/gtest.h>

#include <chrono>

#include "codec_fixtures.h"
#include "image/codecs.h"

namespace {

using namespace pictorra::test;
using pictorra::image::cImage;
using pictorra::image::DecodeGif;

const std::vector<Rgb> kFour = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {20, 30, 40}};
const Rgb kWhite{255, 255, 255};

std::vector<Rgb> Ramp(int count, int step) {
    std::vector<Rgb> palette;
    for (int i = 0; i < count; ++i) palette.push_back({uint8_t(i * step), uint8_t(255 - i), 99});
    return palette;
}

GifImage Image(int left, int top, int w, int h, int colours) {
    GifImage image;
    image.left = left, image.top = top, image.width = w, image.height = h;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) image.pixels.push_back(uint8_t((x * 7 + y * 3) % colours));
    }
    return image;
}

std::optional<RgbPicture> Decode(const std::vector<uint8_t>& file) {
    cImage img;
    if (!DecodeGif(file, img)) {
        EXPECT_FALSE(img.PicValid());
        return std::nullopt;
    }
    return ToRgb(img);
}

struct GifCase {
    const char* name;
    int code_size;  // 0: written by giflib, otherwise by EncodeGifRaw with this code size
    int screen_w, screen_h;
    std::vector<Rgb> global;
    std::vector<GifImage> images;
    int canvas_w, canvas_h;
};

// The first image through its table (the global one, or grey levels when there is none),
// indices past the table black, the transparent index and everything off the image white.
RgbPicture Expected(const GifCase& c) {
    const GifImage& image = c.images.front();
    const std::vector<Rgb>& table = image.palette.empty() ? c.global : image.palette;
    return MakeRgb(c.canvas_w, c.canvas_h, [&](int x, int y) {
        const int ix = x - image.left, iy = y - image.top;
        if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height) return kWhite;
        const int index = image.pixels[size_t(iy) * image.width + ix];
        if (index == image.transparent) return kWhite;
        if (table.empty()) return Rgb{uint8_t(index), uint8_t(index), uint8_t(index)};
        return size_t(index) < table.size() ? table[size_t(index)] : Rgb{};
    });
}

std::vector<uint8_t> Encode(const GifCase& c) {
    if (c.code_size == 0) return EncodeGif(c.screen_w, c.screen_h, c.global, c.images);
    return EncodeGifRaw(c.screen_w, c.screen_h, c.global, c.images.front(), c.code_size);
}

GifCase Interlaced(int code_size) {
    GifImage image = Image(0, 0, 13, 37, 4);
    image.interlaced = true;
    return {
        code_size ? "InterlacedLiteral" : "Interlaced", code_size, 13, 37, kFour, {image}, 13, 37};
}

GifCase WithLocalPalette() {
    GifImage image = Image(0, 0, 20, 10, 4);
    image.palette = kFour;
    return {"LocalTableWins", 0, 20, 10, Ramp(4, 9), {image}, 20, 10};
}

GifCase WithTransparency() {
    GifImage image = Image(0, 0, 16, 16, 4);
    image.transparent = 2;
    return {"TransparentIsWhite", 0, 16, 16, kFour, {image}, 16, 16};
}

GifCase Frames() {
    GifImage second = Image(0, 0, 30, 20, 2);
    second.palette = {{1, 2, 3}, {4, 5, 6}};
    return {"OnlyTheFirstImageCounts", 0, 30, 20, kFour, {Image(3, 4, 10, 5, 4), second}, 30, 20};
}

// Repeating patterns above, runs of one index below: long strings, codes used as soon as they
// are made, and (for the wide code sizes, whose tables fill quickly) clear codes mid-image.
GifCase Compressible(const char* name, int code_size) {
    GifImage image = Image(0, 0, 120, 90, 256);
    for (size_t i = image.pixels.size() / 2; i < image.pixels.size(); ++i) {
        image.pixels[i] = uint8_t(i / 200);
    }
    return {name, code_size, 120, 90, Ramp(256, 1), {image}, 120, 90};
}

const GifCase kCases[] = {
    {"FullScreen", 0, 40, 30, kFour, {Image(0, 0, 40, 30, 4)}, 40, 30},
    {"FullPalette", 0, 60, 50, Ramp(256, 1), {Image(0, 0, 60, 50, 256)}, 60, 50},
    Interlaced(0),
    Interlaced(2),
    WithLocalPalette(),
    WithTransparency(),
    {"OffsetImageOnWhite", 0, 50, 40, kFour, {Image(7, 5, 20, 10, 4)}, 50, 40},
    Frames(),
    {"ImagePastTheScreenGrowsIt", 0, 10, 10, kFour, {Image(5, 5, 20, 8, 4)}, 25, 13},
    {"ZeroScreenTakesTheImage", 0, 0, 0, kFour, {Image(0, 0, 12, 9, 4)}, 12, 9},
    {"NoColourTableIsGrey", 8, 30, 20, {}, {Image(0, 0, 30, 20, 256)}, 30, 20},
    {"IndicesPastTheTableAreBlack", 8, 30, 20, kFour, {Image(0, 0, 30, 20, 256)}, 30, 20},
    Compressible("OwnCoderThroughGiflib", 8),
    Compressible("WideCodeSize", 9),
    Compressible("WideCodeSize", 10),
    Compressible("WideCodeSize", 11),
};

class GifDecode : public testing::TestWithParam<GifCase> {};

TEST_P(GifDecode, DecodesTheFirstImage) {
    const auto decoded = Decode(Encode(GetParam()));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(MaxDifference(*decoded, Expected(GetParam())), 0);
}

INSTANTIATE_TEST_SUITE_P(Gif, GifDecode, testing::ValuesIn(kCases), [](const auto& info) {
    return std::string(info.param.name) + std::to_string(info.param.code_size);
});

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(GifHostile, TruncatedFilesFailUpToTheEndOfTheFirstImage) {
    for (const GifCase& c : {kCases[2], kCases[5], kCases[14]}) {
        const std::vector<uint8_t> file = Encode(c);
        const auto start = std::chrono::steady_clock::now();
        for (size_t length = 0; length + 1 < file.size(); ++length) {
            cImage img;
            EXPECT_FALSE(DecodeGif({file.data(), length}, img)) << c.name << " " << length;
            EXPECT_FALSE(img.PicValid());
        }
        EXPECT_LT(SecondsSince(start), 5.0);
        // Without the trailer the first image is complete.
        EXPECT_TRUE(Decode({file.begin(), file.end() - 1}).has_value()) << c.name;
    }
}

TEST(GifHostile, GarbageAndHugeSizesFailPromptly) {
    // A 2 x 2 image on a given screen, with the image descriptor's size patched afterwards.
    auto sized = [](int screen_w, int screen_h, int w, int h) {
        std::vector<uint8_t> f = EncodeGifRaw(screen_w, screen_h, kFour, Image(0, 0, 2, 2, 4), 2);
        const size_t descriptor = 13 + 12;  // header, screen, 4-colour table
        f[descriptor + 5] = uint8_t(w), f[descriptor + 6] = uint8_t(w >> 8);
        f[descriptor + 7] = uint8_t(h), f[descriptor + 8] = uint8_t(h >> 8);
        return f;
    };
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"empty", {}},
        {"zero bytes", std::vector<uint8_t>(1000, 0)},
        {"header only", {'G', 'I', 'F', '8', '9', 'a'}},
        {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0, 0, 0}},
        {"no image", EncodeGif(4, 4, kFour, {})},
        {"65535 x 65535 screen", sized(65535, 65535, 2, 2)},
        {"65535 x 3000 image", sized(2, 2, 65535, 3000)},
        {"16000 x 8000 image of 4 pixels", sized(2, 2, 16000, 8000)},
        {"zero-width image", sized(2, 2, 0, 2)},
    };
    for (const auto& [name, file] : cases) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Decode(file).has_value()) << name;
        EXPECT_LT(SecondsSince(start), 2.0) << name;
    }
}

TEST(GifHostile, HundredsOfFramesCostOnlyTheFirst) {
    std::vector<GifImage> images(500, Image(0, 0, 200, 200, 4));
    images.front() = Image(0, 0, 200, 200, 3);
    const std::vector<uint8_t> file = EncodeGif(200, 200, kFour, images);
    const auto start = std::chrono::steady_clock::now();
    const auto decoded = Decode(file);
    const double seconds = SecondsSince(start);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(
        MaxDifference(*decoded, Expected({"", 0, 200, 200, kFour, {images.front()}, 200, 200})), 0);
    EXPECT_LT(seconds, 0.05);
}

}  // namespace
