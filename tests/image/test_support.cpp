#include "test_support.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace pictorra::test {

image::cImage MakeImage(int w, int h, const std::function<Rgb(int, int)>& fn) {
    image::cImage img;
    if (img.CreateDIB(w, h) != 0) return img;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetPixel(img, x, y, fn(x, y));
    return img;
}

image::cImage Noise(int w, int h, uint32_t seed) {
    image::cImage img;
    if (img.CreateDIB(w, h) != 0) return img;
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < img.PicSize(); ++i) img.DIBitsPtr()[i] = uint8_t(rng());
    return img;
}

image::cImage Photo(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    return MakeImage(w, h, [&](int x, int y) {
        const bool bright = x * 3 > w + y;
        return Rgb{uint8_t(bright ? 230 - y % 40 : 20 + x % 50),
                   uint8_t(x * 7 + y * 3 + int(rng() % 8)), uint8_t(rng())};
    });
}

std::optional<RgbPicture> ReadPng(const std::filesystem::path& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return std::nullopt;
    png.format = PNG_FORMAT_RGB;
    RgbPicture pic;
    pic.width = int(png.width);
    pic.height = int(png.height);
    pic.rgb.resize(PNG_IMAGE_SIZE(png));
    // Transparent pixels of a reference are composed over white.
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&png, &white, pic.rgb.data(), 0, nullptr)) {
        png_image_free(&png);
        return std::nullopt;
    }
    return pic;
}

int MaxChannelDifference(const image::cImage& img, const RgbPicture& ref) {
    if (img.Width() != ref.width || img.Height() != ref.height || !img.PicValid()) return -1;
    int worst = 0;
    for (int y = 0; y < ref.height; ++y) {
        for (int x = 0; x < ref.width; ++x) {
            const Rgb a = PixelAt(img, x, y), b = ref.At(x, y);
            worst =
                std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        }
    }
    return worst;
}

std::filesystem::path SharedDir() {
    if (const char* env = std::getenv("PICTORRA_SHARED_DIR")) return env;
#ifdef PICTORRA_SHARED_DIR
    std::filesystem::path dir = PICTORRA_SHARED_DIR;
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return dir;
#endif
    return {};
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TempDir::TempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "pictorra-test-XXXXXX").string();
    if (mkdtemp(name.data())) path_ = name;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace pictorra::test
