// The photo information of JPG outputs: what OutputExif keeps, changes and drops for each choice,
// damaged blocks, and the block in the written file.
#include "image/exif_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <map>

#include "exif_support.h"
#include "image/c_image.h"
#include "image/codecs.h"
#include "image/exif.h"
#include "test_support.h"

namespace pictorra::image {
namespace {

using test::AnyTag;
using test::ExifTags;
using Tags = std::map<std::string, std::string>;

TEST(MetadataChoiceWords, RoundTripAndRejectOthers) {
    for (const MetadataChoice c :
         {MetadataChoice::kKeepAll, MetadataChoice::kNoLocation, MetadataChoice::kNone})
        EXPECT_EQ(ParseMetadataChoice(MetadataChoiceWord(c)), c);
    for (const char* word : {"", "keep", "Keep-All", "no_location", "none ", "all"})
        EXPECT_EQ(ParseMetadataChoice(word), std::nullopt) << word;
}

TEST(OutputExif, EachChoiceOnACameraBlock) {
    const struct {
        MetadataChoice choice;
        bool written, location;
    } cases[] = {{MetadataChoice::kKeepAll, true, true},
                 {MetadataChoice::kNoLocation, true, false},
                 {MetadataChoice::kNone, false, false}};
    for (const bool big_endian : {false, true}) {
        const std::vector<uint8_t> source = test::CameraExif(big_endian);
        ASSERT_EQ(ExifTags(source).at("Exif.GPSInfo.GPSLatitudeRef"), "N");
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(MetadataChoiceWord(c.choice)) + (big_endian ? " MM" : " II"));
            const std::vector<uint8_t> out = OutputExif(source, c.choice, 640, 427);
            if (!c.written) {
                EXPECT_TRUE(out.empty());
                continue;
            }
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out[0], big_endian ? 'M' : 'I');  // the source's byte order
            Tags tags = ExifTags(out);
            EXPECT_EQ(tags.contains("Exif.Image.GPSTag"), c.location);
            // Every other tag as the source has it, less what describes the source's file.
            Tags expected = ExifTags(source);
            std::erase_if(expected, [&](const auto& tag) {
                const std::string& k = tag.first;
                return (!c.location && k.starts_with("Exif.GPSInfo.")) ||
                       k.starts_with("Exif.Thumbnail.") || k == "Exif.Photo.MakerNote" ||
                       k == "Exif.Image.ImageWidth" || k == "Exif.Image.ImageLength" ||
                       k == "Exif.Image.Compression" || k == "Exif.Image.YCbCrPositioning" ||
                       k == "Exif.Photo.ComponentsConfiguration";
            });
            expected["Exif.Image.Orientation"] = "1";
            expected["Exif.Photo.PixelXDimension"] = "640";
            expected["Exif.Photo.PixelYDimension"] = "427";
            expected["Exif.Photo.ColorSpace"] = "1";  // sRGB
            for (const char* offset : {"Exif.Image.ExifTag", "Exif.Image.GPSTag"})
                tags.erase(offset), expected.erase(offset);
            EXPECT_EQ(tags, expected);
        }
    }
}

// Nothing to carry: no block, a block of only a thumbnail, sizes below one pixel.
TEST(OutputExif, NothingToCarryGivesNoBlock) {
    Exiv2::ExifData thumb_only;
    const std::vector<Exiv2::byte> thumb = {0xFF, 0xD8, 0xFF, 0xD9};
    Exiv2::ExifThumb(thumb_only).setJpegThumbnail(thumb.data(), long(thumb.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, thumb_only);
    const std::vector<uint8_t> camera = test::CameraExif();
    const struct {
        std::vector<uint8_t> block;
        int32_t w, h;
    } cases[] = {
        {{}, 10, 10}, {{blob.begin(), blob.end()}, 10, 10}, {camera, 0, 10}, {camera, 10, -1}};
    for (const auto& c : cases)
        EXPECT_TRUE(OutputExif(c.block, MetadataChoice::kKeepAll, c.w, c.h).empty()) << &c - cases;
}

// Damaged and hostile blocks give no block or a sound one (reads outside: the sanitizer build).
TEST(OutputExif, DamagedBlocksGiveNothingOrASoundBlock) {
    const std::vector<uint8_t> camera = test::CameraExif();
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> b = camera;
        std::copy(bytes.begin(), bytes.end(), b.begin() + long(at));
        return b;
    };
    std::vector<std::vector<uint8_t>> cases = {
        {'I', 'I', 42, 0},                                              // header cut short
        {'I', 'I', 42, 0, 8, 0, 0, 0},                                  // IFD0 beyond the end
        {'M', 'M', 0, 42, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0},                // IFD0 offset far out
        {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0},                            // not TIFF
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0},  // JPEG prefix left on
        patched(4, {8, 0, 0, 0}),                                       // fine: a sanity row
        patched(8, {0xFF, 0xFF}),                                       // 65535 entries claimed
        patched(10 + 4, {0xFF, 0xFF, 0xFF, 0x3F}),                      // huge count, first entry
        patched(10 + 8, {0xF0, 0xFF, 0xFF, 0xFF}),                      // value offset far out
    };
    // An IFD0 whose next-IFD pointer and EXIF pointer are itself.
    cases.push_back({'I', 'I', 42, 0,    8,    0, 0, 0, 2, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6,
                     0,   0,   0,  0x69, 0x87, 4, 0, 1, 0, 0, 0,    8,    0, 0, 0, 8, 0, 0, 0});
    for (size_t cut : {9u, 20u, 100u, 400u}) {
        if (cut < camera.size()) cases.emplace_back(camera.begin(), camera.begin() + long(cut));
    }
    // Every byte of the first directory's entries flipped in turn.
    for (size_t at = 8; at < 8 + 2 + 12 * 6 && at < camera.size(); ++at) {
        std::vector<uint8_t> b = camera;
        b[at] ^= 0xFF;
        cases.push_back(std::move(b));
    }
    for (const auto& block : cases) {
        const std::vector<uint8_t> out = OutputExif(block, MetadataChoice::kKeepAll, 64, 48);
        if (out.empty()) continue;
        EXPECT_LE(out.size(), kMaxExifBlock);
        const Tags tags = ExifTags(out);
        EXPECT_EQ(tags.at("Exif.Image.Orientation"), "1") << &block - cases.data();
        EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "64");
        EXPECT_FALSE(AnyTag(tags, "Exif.Thumbnail."));
    }
    EXPECT_FALSE(OutputExif(cases[5], MetadataChoice::kKeepAll, 64, 48).empty());
}

// A block too large for one JPEG segment loses its largest tags that do not matter most; what
// says when and with what the photo was taken stays.
TEST(OutputExif, OversizedBlockShrinksToOneSegment) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = std::string("Pictorra Test Cam");
    exif["Exif.Image.Artist"] = std::string(3000, 'a');
    exif["Exif.Photo.DateTimeOriginal"] = std::string("2024:05:06 07:08:09");
    const char* const large[] = {"Exif.Photo.ImageUniqueID", "Exif.Photo.CameraOwnerName",
                                 "Exif.Photo.BodySerialNumber"};
    for (const char* key : large) exif[key] = std::string(20000, 'x');
    exif["Exif.Photo.LensSerialNumber"] = std::string(12000, 'l');
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    ASSERT_GT(blob.size(), kMaxExifBlock);
    const std::vector<uint8_t> out =
        OutputExif({blob.data(), blob.size()}, MetadataChoice::kKeepAll, 100, 80);
    ASSERT_FALSE(out.empty());
    EXPECT_LE(out.size(), kMaxExifBlock);
    const Tags tags = ExifTags(out);
    // One of the largest went, and that was enough.
    EXPECT_EQ(std::count_if(std::begin(large), std::end(large),
                            [&](const char* key) { return tags.contains(key); }),
              2);
    EXPECT_TRUE(tags.contains("Exif.Photo.LensSerialNumber"));
    EXPECT_EQ(tags.at("Exif.Image.Artist"), std::string(3000, 'a'));
    EXPECT_EQ(tags.at("Exif.Photo.DateTimeOriginal"), "2024:05:06 07:08:09");
    EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "100");
}

TEST(WriteJpgExif, TheBlockIsTheOnlyDifference) {
    test::TempDir dir;
    const cImage picture = test::Photo(64, 40, 7);
    const std::vector<uint8_t> block = OutputExif(test::CameraExif(), MetadataChoice::kNoLocation,
                                                  picture.Width(), picture.Height());
    ASSERT_FALSE(block.empty());
    const std::vector<uint8_t> too_large(kMaxExifBlock + 1, 'I');
    ASSERT_EQ(picture.WriteJPG(dir.File("plain.jpg"), 85), kDibOk);
    ASSERT_EQ(picture.WriteJPG(dir.File("with.jpg"), 85, block), kDibOk);
    ASSERT_EQ(picture.WriteJPG(dir.File("large.jpg"), 85, too_large), kDibOk);
    const std::vector<uint8_t> plain = test::ReadFileBytes(dir.File("plain.jpg"));
    const std::vector<uint8_t> with = test::ReadFileBytes(dir.File("with.jpg"));
    EXPECT_EQ(test::ReadFileBytes(dir.File("large.jpg")), plain);  // left out, not cut
    // SOI and APP0 (JFIF), then an EXIF segment holding exactly the block, then the rest as is.
    ASSERT_EQ(plain[3], 0xE0);
    const auto app0_end = long(4 + (size_t(plain[4]) << 8 | plain[5]));
    const size_t length = 2 + 6 + block.size();
    std::vector<uint8_t> expected(plain.begin(), plain.begin() + app0_end);
    expected.insert(expected.end(),
                    {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    expected.insert(expected.end(), block.begin(), block.end());
    expected.insert(expected.end(), plain.begin() + app0_end, plain.end());
    EXPECT_EQ(with, expected);
    EXPECT_EQ(std::search(plain.begin(), plain.end(), expected.begin() + app0_end,
                          expected.begin() + app0_end + 2),
              plain.end());  // no EXIF segment without a block

    // Another reader finds it, and the loader hands it back.
    const Tags tags = test::JpegExifTags(dir.File("with.jpg"));
    EXPECT_EQ(tags.at("Exif.Photo.DateTimeOriginal"), "2024:05:06 07:08:09");
    EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "64");
    EXPECT_FALSE(AnyTag(tags, "Exif.GPSInfo."));
    cImage back;
    PictureInfo info;
    std::vector<uint8_t> bytes;
    int why = 0;
    ASSERT_EQ(back.LoadPicture(dir.File("with.jpg"), bytes, why, &info), kDibOk);
    EXPECT_EQ(info.exif, block);
    EXPECT_EQ(back.Width(), 64);  // orientation 1: not turned again
}

// The corpus's photos with EXIF, whatever their format: for each choice the dates and camera
// stay, the location goes unless kept, and no thumbnail, maker note or orientation is left.
TEST(OutputExif, RealPhotos) {
    const std::filesystem::path good = test::SharedDir() / "corpora-formats" / "good";
    if (!std::filesystem::is_directory(good)) GTEST_SKIP() << "no shared corpus at " << good;
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(good)) {
        const std::string name = entry.path().filename();
        if (!name.starts_with("meta-")) continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = test::ReadFileBytes(entry.path());
        cImage picture;
        PictureInfo info;
        if (picture.LoadPictureData(file, entry.path().extension().string().substr(1), &info) !=
                kDibOk ||
            info.exif.empty())
            continue;
        const Tags source = ExifTags(info.exif);
        ASSERT_FALSE(source.empty());
        for (const MetadataChoice choice :
             {MetadataChoice::kKeepAll, MetadataChoice::kNoLocation}) {
            const std::vector<uint8_t> out =
                OutputExif(info.exif, choice, picture.Width(), picture.Height());
            ASSERT_FALSE(out.empty());
            EXPECT_LE(out.size(), kMaxExifBlock);
            const Tags tags = ExifTags(out);
            for (const char* key : {"Exif.Image.Make", "Exif.Image.Model",
                                    "Exif.Photo.DateTimeOriginal", "Exif.Photo.ExposureTime"}) {
                if (source.contains(key)) {
                    EXPECT_EQ(tags.at(key), source.at(key)) << key;
                }
            }
            EXPECT_EQ(tags.at("Exif.Image.Orientation"), "1");
            EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), std::to_string(picture.Width()));
            EXPECT_EQ(tags.at("Exif.Photo.PixelYDimension"), std::to_string(picture.Height()));
            EXPECT_EQ(AnyTag(tags, "Exif.GPSInfo."),
                      choice == MetadataChoice::kKeepAll && AnyTag(source, "Exif.GPSInfo."));
            for (const auto& [key, value] : tags) {
                const std::string group = key.substr(5, key.find('.', 5) - 5);
                EXPECT_TRUE(group == "Image" || group == "Photo" || group == "GPSInfo") << key;
                EXPECT_FALSE(Exiv2::ExifTags::isMakerGroup(group)) << key;
            }
            EXPECT_FALSE(tags.contains("Exif.Photo.MakerNote"));
        }
        ++checked;
    }
    // at least the JPEG photos (Nikon, Samsung, Pixel)
    EXPECT_GE(checked, 3);
}

}  // namespace
}  // namespace pictorra::image
