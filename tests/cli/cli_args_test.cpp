// The command line: each option turns into the window control it stands for; bad values are
// refused with one line naming the option.
#include "cli/cli_args.h"

#include <gtest/gtest.h>

namespace pictorra::cli {
namespace {

CliConfig Parse(std::vector<std::string> args) {
    args.push_back("/p");
    const ParseResult r = ParseArgs(args);
    EXPECT_TRUE(r.config.has_value()) << r.error;
    return r.config.value_or(CliConfig{});
}

TEST(CliArgs, DefaultsAreTheWindowAtStartUp) {
    const CliConfig c = Parse({});
    EXPECT_FALSE(c.controls.CkCrop);
    EXPECT_FALSE(c.controls.CkMount);
    EXPECT_TRUE(c.controls.CkOrient);
    EXPECT_FALSE(c.controls.CkResize);
    EXPECT_EQ(c.controls.OpSize, 0);
    EXPECT_EQ(c.controls.OpDir, 4);
    EXPECT_EQ(c.controls.OpResize, -1);
    EXPECT_EQ(c.controls.OpType, 0);
    EXPECT_EQ(c.controls.QList, 1);
    EXPECT_EQ(c.mount_color, 0xFFFFFFu);
    EXPECT_EQ(c.path, "/p");
}

TEST(CliArgs, OptionsSetTheirControls) {
    const CliConfig c = Parse({"--crop", "8x10", "--mount", "--color", "ff8000", "--orient", "b",
                               "--no-orient-name", "--resize", "desk", "--hq", "--type", "bmp",
                               "--quality", "veryhigh", "--name", "card", "--yes", "--jobs", "3"});
    EXPECT_TRUE(c.controls.CkCrop);
    EXPECT_TRUE(c.controls.CkMount);
    EXPECT_EQ(c.controls.OpSize, 2);
    EXPECT_EQ(c.mount_color, 0x0080FFu);  // red in the low byte
    EXPECT_EQ(c.controls.OpDir, 1);
    EXPECT_FALSE(c.controls.CkOrient);
    EXPECT_TRUE(c.controls.CkResize);
    EXPECT_EQ(c.controls.OpResize, 2);
    EXPECT_EQ(c.controls.OpResizeQuality, 1);
    EXPECT_EQ(c.controls.OpType, 1);
    EXPECT_EQ(c.controls.QList, 3);
    EXPECT_EQ(c.controls.TName, "card");
    EXPECT_TRUE(c.yes);
    EXPECT_EQ(c.jobs, 3);
}

TEST(CliArgs, CustomRatioAndPixelResize) {
    const CliConfig c = Parse({"--crop", "3x5", "--resize", "1200"});
    EXPECT_EQ(c.controls.OpSize, 4);
    EXPECT_EQ(c.custom_small, 3);
    EXPECT_EQ(c.custom_large, 5);
    EXPECT_EQ(c.resize_pixels, 1200);
}

TEST(CliArgs, Tools) {
    const CliConfig c =
        Parse({"--tool", "lighten", "--tool", "border:10:ff0000", "--tool", "bevel:5:Pipe-shaped",
               "--tool", "bevel:7:7", "--tool", "text-bold:5:-6:10:24:0000ff:DejaVu Sans:a:b c"});
    ASSERT_EQ(c.tools.size(), 5u);
    EXPECT_EQ(c.tools[0].code, options::kOpLighten);
    EXPECT_EQ(c.tools[1].info.LThick, 10);
    EXPECT_EQ(c.tools[1].info.LCol, 0x0000FFu);
    EXPECT_EQ(c.tools[2].info.iFactor, 60);
    EXPECT_EQ(c.tools[2].info.LStep, 200);
    EXPECT_EQ(c.tools[3].info.iFactor, 200);
    const options::CustomOpInfo& t = c.tools[4].info;
    EXPECT_EQ(c.tools[4].code, options::kOpText);
    EXPECT_EQ(t.XPt, 5);
    EXPECT_EQ(t.YPt, -6);
    EXPECT_EQ(t.FontW, 10);
    EXPECT_EQ(t.FontH, 24);
    EXPECT_EQ(t.LCol, 0xFF0000u);
    EXPECT_EQ(t.sFontName, "DejaVu Sans");
    EXPECT_EQ(t.sText, "a:b c");
    EXPECT_TRUE(t.IfBold);
}

TEST(CliArgs, RefusesBadValues) {
    const std::vector<std::vector<std::string>> bad = {
        {"--crop", "4x0", "/p"},       {"--crop", "wide", "/p"},     {"--mount", "/p"},
        {"--color", "fff", "/p"},      {"--color", "gg0000", "/p"},  {"--orient", "f", "/p"},
        {"--resize", "0", "/p"},       {"--resize", "big", "/p"},    {"--type", "png", "/p"},
        {"--quality", "best", "/p"},   {"--jobs", "0", "/p"},        {"--tool", "blur", "/p"},
        {"--tool", "border:0:ffffff", "/p"}, {"--tool", "border:100:ffffff", "/p"},
        {"--tool", "bevel:5:8", "/p"}, {"--tool", "text:1:2:0:24:ffffff:Arial:x", "/p"},
        {"--tool", "text:1:2:10:24:ffffff::x", "/p"}, {"--bogus", "/p"}, {"/a", "/b"}, {},
        {"--crop"},
    };
    for (const auto& args : bad) {
        const ParseResult r = ParseArgs(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_FALSE(r.config.has_value()) << joined;
        EXPECT_FALSE(r.error.empty()) << joined;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << joined;
    }
    EXPECT_NE(ParseArgs({"--orient", "z", "/p"}).error.find("--orient"), std::string::npos);
}

TEST(CliArgs, AtMostTwentyOneTools) {
    std::vector<std::string> args;
    for (int i = 0; i < 22; ++i) {
        args.push_back("--tool");
        args.push_back("darken");
    }
    args.push_back("/p");
    EXPECT_FALSE(ParseArgs(args).config.has_value());
    args.erase(args.begin(), args.begin() + 2);
    EXPECT_TRUE(ParseArgs(args).config.has_value());
}

}  // namespace
}  // namespace pictorra::cli
