#pragma once
// Helpers shared by the image tests: pictures from pixel functions, pixel access in top-down
// coordinates, reference PNGs, and where the shared test data lives.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/c_image.h"

namespace pictorra::test {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Makes a w x h picture whose pixel at (x, y) (top-down) is fn(x, y).
image::cImage MakeImage(int w, int h, const std::function<Rgb(int, int)>& fn);
inline image::cImage Uniform(int w, int h, Rgb c) {
    return MakeImage(w, h, [c](int, int) { return c; });
}
inline Rgb PixelAt(const image::cImage& img, int x, int y) {
    const uint8_t* p = img.View().Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}
inline void SetPixel(image::cImage& img, int x, int y, Rgb c) {
    uint8_t* p = img.View().Row(y) + 3 * x;
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
}
// A level under alpha `a` composed over white, rounded.
inline uint8_t OverWhite(uint32_t c, uint32_t a) {
    return uint8_t((c * a + 255 * (255 - a) + 127) / 255);
}
inline Rgb OverWhite(Rgb c, uint32_t a) {
    return {OverWhite(c.r, a), OverWhite(c.g, a), OverWhite(c.b, a)};
}
// Pseudo-random bytes, row padding included, so that a stray write to the padding shows.
image::cImage Noise(int w, int h, uint32_t seed);
// Photograph-like: a sharp edge, a gradient with a little noise, and one channel of pure noise.
image::cImage Photo(int w, int h, uint32_t seed);
// The whole buffer, padding included.
inline std::vector<uint8_t> Bytes(const image::cImage& img) {
    return {img.DIBitsPtr(), img.DIBitsPtr() + img.PicSize()};
}

// A decoded PNG, top-down RGB.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, rows top-down, no padding
    Rgb At(int x, int y) const {
        const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};
std::optional<RgbPicture> ReadPng(const std::filesystem::path& path);

// Largest per-channel difference between a picture and a reference; -1 when the sizes differ.
int MaxChannelDifference(const image::cImage& img, const RgbPicture& ref);

// The shared test data folder (photos/, corpora/); empty when absent.
std::filesystem::path SharedDir();

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// A file of the shared format corpus's good folder; empty when the corpus is absent.
inline std::vector<uint8_t> GoodCorpusFile(const std::string& name) {
    const auto path = SharedDir() / "corpora-formats" / "good" / name;
    if (SharedDir().empty() || !std::filesystem::exists(path)) return {};
    return ReadFileBytes(path);
}

// A fresh empty folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace pictorra::test
