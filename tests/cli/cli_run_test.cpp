// pictorra-cli end to end: exit statuses, printed texts, and the options reaching the job.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "exif_support.h"
#include "options/custom_op.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace pictorra::test {
namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliRun : public testing::Test {
protected:
    // Exit status and output of a run with its own settings folder and no terminal to answer on.
    // As root it runs without the power to override file permissions, as a user would.
    std::pair<int, std::string> Cli(const std::vector<std::string>& args) {
        std::string command = "XDG_CONFIG_HOME=" + Quote(dir.File("config"));
        if (geteuid() == 0) command += " setpriv --bounding-set -dac_override,-dac_read_search";
        command += " " PICTORRA_CLI;
        for (const auto& a : args) command += " " + Quote(a);
        FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
        std::string out;
        char buf[4096];
        for (size_t n; pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        const int status = pipe ? pclose(pipe) : -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
    }
    std::string Folder(const std::string& name) {
        fs::create_directories(dir.path() / name);
        return dir.File(name);
    }

    TempDir dir;
};

TEST_F(CliRun, ExitStatuses) {
    const std::string good = Folder("good"), mixed = Folder("mixed"), text = Folder("text");
    ASSERT_EQ(Noise(60, 40, 1).WriteBMP(good + "/a.bmp"), 0);
    ASSERT_EQ(Noise(40, 60, 2).WriteBMP(good + "/b b.bmp"), 0);
    ASSERT_EQ(Noise(60, 40, 3).WriteBMP(mixed + "/a.bmp"), 0);
    WriteFileBytes(mixed + "/broken.jpg", {0xFF, 0xD8, 0xFF});
    WriteFileBytes(text + "/read me.txt", {'x'});
    const std::string locked = Folder("locked"), fixed = Folder("fixed");
    ASSERT_EQ(Noise(60, 40, 4).WriteBMP(fixed + "/a.bmp"), 0);
    fs::copy_file(fixed + "/a.bmp", mixed + "/secret.bmp");
    fs::permissions(locked, fs::perms::none);
    fs::permissions(mixed + "/secret.bmp", fs::perms::none);
    fs::permissions(fixed, fs::perms::owner_read | fs::perms::owner_exec);
    const std::vector<std::string> ez = {"--crop", "4x6", "--resize", "ez", good};
    const struct {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {ez, 0, "  2 files processed"},
        {{"--quiet", mixed}, 1, "Error log saved as:"},
        {{"--orient", "q", good}, 2, "--orient"},
        {{dir.File("nothing-here")}, 2, "Not a valid file or folder."},
        {{text + "/read me.txt"},
         2,
         "File extension must be BMP, JPG, JPEG, GIF, PNG, WEBP, TIF, TIFF, HEIC, or HEIF."},
        {{"--name", "x", good}, 2, "--name"},
        {ez, 3, "Folder exists. Delete it?"},  // no terminal to answer on: Cancel
        {{"--yes", "--crop", "4x6", "--resize", "ez", good}, 0, "OK (--yes)"},
        {{Folder("empty")}, 4, "No files in selected folder."},
        {{text}, 4, "No BMP, JPG, or GIF files in folder."},
        {{"--type", "bmp", good + "/a.bmp"}, 0, "File: a-.bmp"},
        {{mixed + "/broken.jpg"}, 1, "Error loading file: Err. 1"},
        {{mixed + "/secret.bmp"}, 1, "Error loading file: Err. 1 (Permission denied)"},
        {{"--yes", mixed}, 1, "secret.bmp - Error: 1 (Permission denied)"},
        {{locked}, 2, "cannot read folder " + locked + ": Permission denied"},
        {{fixed}, 1, "cannot create folder " + fixed + "/Images-: Permission denied"},
        {{"--yes", "--jobs", "2", "--crop", "5x7", "--orient", "c", "--resize", "300", mixed},
         1,
         "Folder: Images57c-R300"},
        {{"--help"}, 0, "Usage: pictorra-cli"}};
    for (const auto& c : cases) {
        const auto [status, out] = Cli(c.args);
        EXPECT_EQ(status, c.status) << c.args[0] << ": " << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.args[0] << ": " << out;
    }
    for (const auto& p : {locked, fixed, mixed + "/secret.bmp"})
        fs::permissions(p, fs::perms::owner_all);
    EXPECT_TRUE(fs::exists(good + "/Images46e-R640/b b.jpg"));
    // A tool reaches the picture: the output is the source darkened.
    ASSERT_EQ(Cli({"--type", "bmp", "--tool", "darken", "--name", "d", good + "/a.bmp"}).first, 0);
    image::cImage expected, out;
    ASSERT_EQ(expected.LoadPicture(good + "/a.bmp") + out.LoadPicture(good + "/d.bmp"), 0);
    expected.DarkenPic(options::kDarkenPart255);
    EXPECT_EQ(Bytes(out), Bytes(expected));
}

// The photo information of the outputs: the command line's choice, else no location, whatever the
// settings dialog saved. A source turned by its orientation comes out upright with orientation 1.
TEST_F(CliRun, PhotoInformation) {
    const std::string photos = Folder("photos");
    ASSERT_EQ(Photo(90, 60, 5).WriteJPG(photos + "/p.jpg", 90, CameraExif()), 0);
    const std::string ini = dir.File("config/Pictorra/Pictorra.ini");
    const struct {
        std::string stored;  // the settings dialog's saved choice; empty: none saved
        std::vector<std::string> args;
        bool exif, location;
    } cases[] = {
        {"", {}, true, false},
        {"", {"--metadata", "keep-all"}, true, true},
        {"", {"--metadata", "None"}, false, false},
        {"keep-all", {}, true, false},
        {"keep-all", {"--metadata", "no-location"}, true, false},
        {"none", {}, true, false},
        {"", {"--metadata", "keep-all", "--type", "bmp"}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        fs::remove_all(dir.File("config"));
        if (!c.stored.empty()) {
            fs::create_directories(fs::path(ini).parent_path());
            const std::string text = "[Sizes]\nMetadata=" + c.stored + "\n";
            WriteFileBytes(ini, {text.begin(), text.end()});
        }
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--yes", "--quiet", photos + "/p.jpg"});
        const auto [status, out] = Cli(args);
        ASSERT_EQ(status, 0) << out;
        const bool bmp = std::find(args.begin(), args.end(), "bmp") != args.end();
        const std::string output = photos + (bmp ? "/p-.bmp" : "/p-.jpg");
        const auto tags = JpegExifTags(output);
        ASSERT_EQ(!tags.empty(), c.exif) << out;
        if (!c.exif) continue;
        EXPECT_EQ(tags.at("Exif.Photo.DateTimeOriginal"), "2024:05:06 07:08:09");
        EXPECT_EQ(tags.at("Exif.Image.Orientation"), "1");
        EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "60");
        EXPECT_EQ(tags.at("Exif.Photo.PixelYDimension"), "90");
        EXPECT_FALSE(AnyTag(tags, "Exif.Thumbnail."));
        EXPECT_EQ(AnyTag(tags, "Exif.GPSInfo."), c.location);
    }
}

}  // namespace
}  // namespace pictorra::test
