// JPEG and GIF reading and JPEG writing, on pictures made here with libjpeg's and giflib's own
// encoders: what the decoder corpora cannot show.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image/atomic_file.h"
#include "image/exif.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace pictorra::test;
using pictorra::image::ApplyOrientation;
using pictorra::image::AtomicFile;
using pictorra::image::cImage;
using pictorra::image::Orientation;

// ---- JPEG reading ----------------------------------------------------------------------------

// Smooth, so that JPEG keeps it close, and different along each axis and in each channel, so that
// a turned, mirrored or channel-swapped decode shows.
RgbPicture Smooth(int w, int h, bool grey = false) {
    RgbPicture pic{w, h, {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto r = uint8_t(30 + 200 * x / w), g = uint8_t(220 - 180 * y / h);
            pic.rgb.insert(pic.rgb.end(), {grey ? g : r, g, grey ? g : uint8_t((r + g) / 2)});
        }
    }
    return pic;
}

struct Layout {
    const char* name;
    J_COLOR_SPACE space;  // of the encoder's input: RGB is stored as YCbCr
    int luma_h, luma_v;   // chroma is sampled 1 x 1
    bool progressive;
    int width, height;
};

const Layout kLayouts[] = {
    {"Baseline420", JCS_RGB, 2, 2, false, 61, 35}, {"Baseline422", JCS_RGB, 2, 1, false, 37, 23},
    {"Baseline444", JCS_RGB, 1, 1, false, 1, 1},   {"Progressive420", JCS_RGB, 2, 2, true, 50, 83},
    {"Grey", JCS_GRAYSCALE, 1, 1, false, 29, 40},  {"Cmyk", JCS_CMYK, 1, 1, false, 33, 17},
};

// Through plain libjpeg at quality 95. Grey files store the red channel; CMYK files hold the
// inverted values Adobe software writes, with C x K / 255 giving red back. `scan_per_bit`
// (grey only) writes 127 scans: DC, then each AC coefficient's high and low bit on its own.
std::vector<uint8_t> EncodeJpeg(const RgbPicture& pic, const Layout& layout,
                                const std::vector<uint8_t>& exif = {}, bool scan_per_bit = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(pic.width), c.image_height = JDIMENSION(pic.height);
    c.in_color_space = layout.space;
    c.input_components = layout.space == JCS_GRAYSCALE ? 1 : layout.space == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.comp_info[0].h_samp_factor = layout.luma_h, c.comp_info[0].v_samp_factor = layout.luma_v;
    if (layout.progressive) jpeg_simple_progression(&c);
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    for (int i = 0; i < 126; ++i)
        scans.push_back({1, {0}, i % 63 + 1, i % 63 + 1, i / 63, 1 - i / 63});
    if (scan_per_bit) c.scan_info = scans.data(), c.num_scans = int(scans.size());
    jpeg_start_compress(&c, TRUE);
    if (!exif.empty()) jpeg_write_marker(&c, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    std::vector<uint8_t> row(size_t(pic.width) * 4);
    for (int y = 0; y < pic.height; ++y) {
        for (size_t x = 0, n = size_t(c.input_components); x < size_t(pic.width); ++x) {
            const uint8_t* p = &pic.rgb[(size_t(y) * size_t(pic.width) + x) * 3];
            const int k = std::max({p[0], p[1], p[2], uint8_t(1)});
            for (size_t i = 0; i < n; ++i)
                row[x * n + i] = n < 4 ? p[i] : i < 3 ? uint8_t(p[i] * 255 / k) : uint8_t(k);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

TEST(JpegLayout, DecodesCloseToItsSource) {
    for (const Layout& l : kLayouts) {
        const RgbPicture source = Smooth(l.width, l.height, l.space == JCS_GRAYSCALE);
        cImage img;
        ASSERT_EQ(img.LoadPictureData(EncodeJpeg(source, l), "jpg"), 0) << l.name;
        const int diff = MaxChannelDifference(img, source);  // -1 for a wrong size
        EXPECT_TRUE(diff >= 0 && diff <= 6) << l.name << ": " << diff;
    }
}

// An EXIF APP1 payload whose IFD0 holds the orientation after another tag; no IFD1 follows.
std::vector<uint8_t> Exif(int orientation, bool big_endian) {
    std::vector<uint8_t> out{'E', 'x', 'i', 'f', 0, 0};
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> 8 * (big_endian ? n - 1 - i : i)));
    };
    put(big_endian ? 0x4D4D : 0x4949, 2), put(42, 2), put(8, 4), put(2, 2);  // IFD0 follows
    put(0x010F, 2), put(2, 2), put(4, 4), put(0, 4);                         // Make
    put(0x0112, 2), put(3, 2), put(1, 4), put(uint32_t(orientation), 2), put(0, 2), put(0, 4);
    return out;
}

// Where the stored picture's first row and first column appear when viewed (the EXIF table).
enum Side { kTop, kBottom, kLeft, kRight };
struct Turn {
    int value;
    Side row0, column0;
};

const Turn kTurns[] = {{1, kTop, kLeft},     {2, kTop, kRight},  {3, kBottom, kRight},
                       {4, kBottom, kLeft},  {5, kLeft, kTop},   {6, kRight, kTop},
                       {7, kRight, kBottom}, {8, kLeft, kBottom}};

// Damage to the little-endian block (TIFF header at 6, orientation entry at 28): not EXIF, byte
// order, TIFF magic, IFD0 past the end (twice), type ASCII, count 0, value 9 and value 0.
const std::pair<size_t, uint8_t> kDamage[] = {{0, 'X'}, {7, 'M'}, {8, 43}, {10, 0xF0}, {13, 0xFF},
                                              {30, 2},  {32, 0},  {36, 9}, {36, 0}};

// Every pixel lands exactly where the stored one says: the same data decoded as stored is the
// reference. Files 2 and on hold damaged blocks; they are ignored.
TEST(JpegOrientation, DecodesUpright) {
    const RgbPicture source = Smooth(45, 70);
    cImage stored;
    ASSERT_EQ(stored.LoadPictureData(EncodeJpeg(source, kLayouts[0], Exif(1, false)), "jpg"), 0);
    const int w = stored.Width(), h = stored.Height();
    for (const Turn& turn : kTurns)  // files: little-endian, big-endian, damaged
        for (size_t file = 0; file < 2 + std::size(kDamage); ++file) {
            std::vector<uint8_t> exif = Exif(turn.value, file == 1);
            if (file >= 2) exif[kDamage[file - 2].first] = kDamage[file - 2].second;
            cImage img;
            ASSERT_EQ(img.LoadPictureData(EncodeJpeg(source, kLayouts[0], exif), "jpg"), 0);
            const Turn o = file < 2 ? turn : kTurns[0];
            const bool turned = o.row0 == kLeft || o.row0 == kRight;
            ASSERT_EQ(std::pair(img.Width(), img.Height()),
                      turned ? std::pair(h, w) : std::pair(w, h));
            int wrong = 0;
            for (int y = 0; y < img.Height(); ++y) {
                for (int x = 0; x < img.Width(); ++x) {
                    const int across = turned ? x : y, along = turned ? y : x;
                    const int sy = o.row0 == kTop || o.row0 == kLeft ? across : h - 1 - across;
                    const int sx = o.column0 == kLeft || o.column0 == kTop ? along : w - 1 - along;
                    wrong += PixelAt(img, x, y) != PixelAt(stored, sx, sy);
                }
            }
            EXPECT_EQ(wrong, 0) << "orientation " << turn.value << ", file " << file;
            // The decoders that turn a finished picture must agree with the JPEG reader.
            cImage turned_after = stored;
            ApplyOrientation(turned_after, static_cast<Orientation>(file < 2 ? turn.value : 1));
            EXPECT_EQ(Bytes(turned_after), Bytes(img)) << "orientation " << turn.value;
        }
}

// ---- GIF reading -----------------------------------------------------------------------------

const std::vector<Rgb> kFour = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {20, 30, 40}};
const std::vector<Rgb> kOther = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
const Rgb kWhite{255, 255, 255};

// The colour index at (x, y) of every image.
uint8_t Index(int x, int y) { return uint8_t((x * 7 + y * 3 + x * y / 5) % 4); }

struct Frame {
    int left, top, width, height;
    bool interlaced = false;
    std::vector<Rgb> palette = {};  // local colour table; none when empty
    int transparent = -1;           // in a graphic control extension before the image when >= 0
};

struct GifCase {
    const char* name;
    int screen_w, screen_h;
    std::vector<Rgb> global;
    std::vector<Frame> frames;
};

ColorMapObject* Map(const std::vector<Rgb>& palette) {
    std::vector<GifColorType> colours;
    for (const Rgb& c : palette) colours.push_back({c.r, c.g, c.b});
    return palette.empty() ? nullptr : GifMakeMapObject(int(colours.size()), colours.data());
}

int Append(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

std::vector<uint8_t> EncodeGif(const GifCase& c) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, Append, &error);
    ColorMapObject* global = Map(c.global);
    bool ok = EGifPutScreenDesc(gif, c.screen_w, c.screen_h, 8, 0, global) == GIF_OK;
    for (const Frame& f : c.frames) {
        if (f.transparent >= 0) {
            const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, f.transparent};
            GifByteType extension[4];
            const size_t length = EGifGCBToExtension(&control, extension);
            ok &= EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK;
        }
        ColorMapObject* local = Map(f.palette);
        ok &=
            EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        // Rows in the order they are stored: four passes when interlaced.
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        std::vector<GifPixelType> line(size_t(f.width));
        for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass) {
            for (int y = f.interlaced ? start[pass] : 0; y < f.height;
                 y += f.interlaced ? step[pass] : 1) {
                for (int x = 0; x < f.width; ++x) line[size_t(x)] = Index(x, y);
                ok &= EGifPutLine(gif, line.data(), f.width) == GIF_OK;
            }
        }
    }
    ok &= EGifCloseFile(gif, &error) == GIF_OK;
    GifFreeMapObject(global);
    EXPECT_TRUE(ok) << "giflib could not encode " << c.name;
    return out;
}

const GifCase kCases[] = {
    {"Interlaced", 13, 37, kFour, {{0, 0, 13, 37, true}}},
    {"TransparentIsWhite", 16, 16, kFour, {{0, 0, 16, 16, false, {}, 2}}},
    {"LocalTableWins", 20, 10, kOther, {{0, 0, 20, 10, false, kFour}}},
    {"OffsetImageOnWhite", 50, 40, kFour, {{7, 5, 20, 10}}},
    {"OnlyTheFirstImage", 30, 20, kFour, {{3, 4, 10, 5}, {0, 0, 30, 20, false, kOther}}},
};

// The screen shows the first image through its own table or the global one; the transparent
// index and everything off the image are white.
TEST(GifDecode, ShowsTheFirstImageOnWhite) {
    for (const GifCase& c : kCases) {
        cImage img;
        ASSERT_EQ(img.LoadPictureData(EncodeGif(c), "gif"), 0) << c.name;
        const Frame& f = c.frames.front();
        const std::vector<Rgb>& table = f.palette.empty() ? c.global : f.palette;
        RgbPicture expected{c.screen_w, c.screen_h, {}};
        for (int y = 0; y < c.screen_h; ++y) {
            for (int x = 0; x < c.screen_w; ++x) {
                const int ix = x - f.left, iy = y - f.top;
                const bool on = ix >= 0 && iy >= 0 && ix < f.width && iy < f.height;
                const int index = on ? Index(ix, iy) : f.transparent;
                const Rgb e = index < 0 || index == f.transparent ? kWhite : table[size_t(index)];
                expected.rgb.insert(expected.rgb.end(), {e.r, e.g, e.b});
            }
        }
        EXPECT_EQ(MaxChannelDifference(img, expected), 0) << c.name;
    }
}

// ---- refused files ---------------------------------------------------------------------------

size_t FindMarker(const std::vector<uint8_t>& file, uint8_t marker) {
    const uint8_t bytes[2] = {0xFF, marker};
    return size_t(std::search(file.begin(), file.end(), bytes, bytes + 2) - file.begin());
}

TEST(JpegAndGifHostile, DamagedFilesAreRefused) {
    const std::vector<uint8_t> jpeg = EncodeJpeg(Smooth(96, 64), kLayouts[0]),
                               gif = EncodeGif(kCases[0]);
    auto cut = [](const std::vector<uint8_t>& f, size_t n) {
        return std::vector<uint8_t>(f.begin(), f.begin() + long(n));
    };
    std::vector<uint8_t> huge_jpeg = jpeg, huge_gif = gif, junk = jpeg,
                         ended = cut(jpeg, jpeg.size() - 100);
    ended.insert(ended.end(), {0xFF, 0xD9});  // the data ends early, at a marker
    std::fill_n(huge_jpeg.begin() + long(FindMarker(jpeg, 0xC0) + 5), 4, 0xFF);  // 65535 x 65535
    std::fill_n(huge_gif.begin() + 6, 4, 0xFF);  // a 65535 x 65535 screen
    // Stray bytes and an unknown segment between two segments, as cameras write them.
    junk.insert(junk.begin() + long(FindMarker(jpeg, 0xDB)), {0x13, 0x37, 0xFF, 0xE9, 0, 3, 0});
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 0, 0};
    const std::tuple<const char*, std::vector<uint8_t>, const char*, int> cases[] = {
        // clang-format off
        {"empty", {}, "jpg", 1}, {"PNG", png, "jpg", 1}, {"huge size", huge_jpeg, "jpg", 1},
        {"cut in the header", cut(jpeg, 100), "jpg", 1},
        {"no end marker", cut(jpeg, jpeg.size() - 2), "jpg", 1},
        {"end marker in the data", ended, "jpg", 1}, {"junk between segments", junk, "jpg", 0},
        {"no extension: told by its bytes", jpeg, "", 0}, {"told by its bytes", gif, "", 0},
        {"127 scans", EncodeJpeg(Smooth(16, 8, true), kLayouts[4], {}, true), "jpg", 1},
        {"empty", {}, "gif", 1}, {"PNG", png, "gif", 1}, {"huge screen", huge_gif, "gif", 1},
        {"cut in the header", cut(gif, 10), "gif", 1},
        {"cut in the data", cut(gif, gif.size() / 2), "gif", 1},
        {"cut before the last block ends", cut(gif, gif.size() - 2), "gif", 1},
        {"no image", EncodeGif({"NoImage", 4, 4, kFour, {}}), "gif", 1},
        // clang-format on
    };
    for (const auto& [name, file, extension, code] : cases) {
        cImage img;
        EXPECT_EQ(img.LoadPictureData(file, extension), code) << extension << ": " << name;
        EXPECT_EQ(img.PicValid(), code == 0) << extension << ": " << name;
    }
}

// ---- JPEG writing ----------------------------------------------------------------------------

// Baseline, with chroma at full resolution at quality 100 and halved both ways below; on noise
// each lower quality makes a smaller file. The file gets a new file's permissions.
TEST(JpegWriter, WritesBaselineThatReadsBackClose) {
    TempDir dir;
    const RgbPicture source = Smooth(61, 35);
    const cImage img = MakeImage(61, 35, [&](int x, int y) { return source.At(x, y); });
    const cImage noise = Noise(120, 90, 1);
    const mode_t mask = umask(027);
    EXPECT_EQ(img.WriteJPG(dir.File("out.jpg"), 90), 0);
    umask(mask);
    EXPECT_EQ(fs::status(dir.path() / "out.jpg").permissions(), fs::perms(0640));
    std::vector<uintmax_t> noise_sizes;
    for (const auto& [quality, luma_sampling, tolerance] :
         {std::tuple{100, 0x11, 4}, std::tuple{90, 0x22, 8}, std::tuple{75, 0x22, 10}}) {
        ASSERT_EQ(img.WriteJPG(dir.File("out.jpg"), quality), 0);
        const std::vector<uint8_t> file = ReadFileBytes(dir.path() / "out.jpg");
        const size_t sof = FindMarker(file, 0xC0);  // baseline
        ASSERT_LT(sof + 11, file.size()) << quality;
        EXPECT_EQ(file[sof + 11], luma_sampling) << quality;  // of the first (luma) component
        cImage back;
        ASSERT_EQ(back.LoadPictureData(file, "jpg"), 0);
        const int diff = MaxChannelDifference(back, source);
        EXPECT_TRUE(diff >= 0 && diff <= tolerance) << quality << ": " << diff;
        ASSERT_EQ(noise.WriteJPG(dir.File("noise.jpg"), quality), 0);
        noise_sizes.push_back(fs::file_size(dir.path() / "noise.jpg"));
    }
    EXPECT_LT(noise_sizes[1], noise_sizes[0]);
    EXPECT_LT(noise_sizes[2], noise_sizes[1]);
}

// A full disk: writes past `bytes` fail with EFBIG (the signal that would end the process is
// ignored) until the end of the scope.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : handler(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old), signal(SIGXFSZ, handler); }
    rlimit old{};
    sighandler_t handler;
};

// Whatever fails, nothing is left under the final name or beside it and an older file of that
// name is untouched: the encoder refusing the picture (wider than JPEG allows), the disk filling
// up, the rename into place failing (a folder holds the name).
TEST(JpegWriter, FailuresLeaveNoFileAndKeepAnOldOne) {
    TempDir dir;
    cImage too_wide;
    ASSERT_EQ(too_wide.CreateDIB(70000, 1), 0);
    const cImage noise = Noise(120, 90, 1);  // some 20 KB
    EXPECT_NE(too_wide.WriteJPG(dir.File("missing/new.jpg"), 75), 0);
    WriteFileBytes(dir.path() / "old.jpg", {1, 2, 3});
    fs::create_directory(dir.path() / "folder.jpg");
    for (const auto& [name, img, limit] :
         {std::tuple<const char*, const cImage*, rlim_t>{"old.jpg", &too_wide, 0},
          {"new.jpg", &too_wide, 0},
          {"old.jpg", &noise, 4096},
          {"new.jpg", &noise, 4096},
          {"folder.jpg", &noise, 0}}) {
        {
            std::optional<FileSizeLimit> full;
            if (limit > 0) full.emplace(limit);
            EXPECT_NE(img->WriteJPG(dir.File(name), 75), 0) << name << " " << limit;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);  // no temporary file
        EXPECT_EQ(ReadFileBytes(dir.path() / "old.jpg"), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_TRUE(fs::is_empty(dir.path() / "folder.jpg"));
    }
}

// A write error fwrite meets (more than the stdio buffer) and one only fclose meets (all of it
// still buffered) both fail the commit, which leaves the old file and no other.
TEST(AtomicFile, AFailedWriteIsNeverCommitted) {
    TempDir dir;
    WriteFileBytes(dir.path() / "f", {1, 2, 3});
    for (const size_t bytes : {200000, 8000}) {
        {
            AtomicFile out(dir.File("f"));
            ASSERT_TRUE(out.ok());
            const std::vector<char> data(bytes, 'x');
            const FileSizeLimit full(4096);
            fwrite(data.data(), 1, bytes, out.file());
            EXPECT_FALSE(out.Commit()) << bytes;
        }
        EXPECT_EQ(ReadFileBytes(dir.path() / "f"), (std::vector<uint8_t>{1, 2, 3})) << bytes;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << bytes;
    }
}

}  // namespace
