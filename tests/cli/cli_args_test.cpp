// The command line: options to controls; bad values refused with one line naming the option.
#include "cli/cli_args.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "cli/progress.h"

namespace pictorra::cli {
namespace {

CliConfig Parse(std::vector<std::string> args) {
    args.push_back("/p");
    const ParseResult r = ParseArgs(args);
    EXPECT_TRUE(r.config.has_value()) << r.error;
    return r.config.value_or(CliConfig{});
}

TEST(CliArgs, OptionsSetTheirControls) {
    const CliConfig d = Parse({});  // nothing ticked, a white canvas
    EXPECT_TRUE(!d.controls.CkCrop && !d.controls.CkMount && !d.controls.CkResize && !d.yes &&
                d.mount_color == 0xFFFFFF && d.path == "/p");
    const CliConfig c = Parse(
        {"--crop",           "8x10",     "--mount", "--color", "ff8000", "--orient", "b",
         "--no-orient-name", "--resize", "desk",    "--hq",    "--type", "bmp",      "--quality",
         "veryhigh",         "--name",   "card",    "--yes",   "--jobs", "3"});
    EXPECT_TRUE(c.controls.CkCrop && c.controls.CkMount && c.controls.CkResize && c.yes);
    EXPECT_FALSE(c.controls.CkOrient);
    EXPECT_EQ(c.mount_color, 0x0080FFu);  // red in the low byte
    EXPECT_EQ((std::array{c.controls.OpSize, c.controls.OpDir, c.controls.OpResize,
                          c.controls.OpResizeQuality, c.controls.OpType, c.controls.QList, c.jobs}),
              (std::array{2, 1, 2, 1, 1, 3, 3}));
    EXPECT_EQ(c.controls.TName, "card");
    // The information choice: absent means the stored one.
    const struct {
        std::vector<std::string> args;
        std::optional<image::MetadataChoice> metadata;
    } metadata[] = {
        {{}, std::nullopt},
        {{"--metadata", "keep-all"}, image::MetadataChoice::kKeepAll},
        {{"--metadata", "No-Location"}, image::MetadataChoice::kNoLocation},
        {{"--metadata", "none"}, image::MetadataChoice::kNone},
        {{"--metadata", "none", "--metadata", "keep-all"}, image::MetadataChoice::kKeepAll}};
    for (const auto& m : metadata) EXPECT_EQ(Parse(m.args).metadata, m.metadata) << &m - metadata;
    const CliConfig custom = Parse({"--crop", "3x5", "--resize", "1200"});
    EXPECT_EQ(custom.controls.OpSize, 4);
    EXPECT_EQ((std::array{custom.custom_small, custom.custom_large, custom.resize_pixels}),
              (std::array<std::optional<int32_t>, 3>{3, 5, 1200}));
}

TEST(CliArgs, Tools) {
    using options::CustomOpInfo;
    const struct {
        const char* arg;
        int32_t code;
        CustomOpInfo info;
    } cases[] = {// LThick, LCol, iFactor, LStep, FontW, FontH, XPt, YPt, sFontName, sText, IfBold
                 {"lighten", options::kOpLighten, {}},
                 {"border:10:ff0000", options::kOpBorder, {10, 0x0000FF, 0, 0, 0, 0, 0, 0, "", ""}},
                 {"bevel:5:Pipe-shaped", options::kOpBevel, {5, 0, 60, 200, 0, 0, 0, 0, "", ""}},
                 {"bevel:7:7", options::kOpBevel, {7, 0, 200, 60, 0, 0, 0, 0, "", ""}},
                 {"text-bold:5:-6:10:24:0000ff:DejaVu Sans:a:b c",
                  options::kOpText,
                  {0, 0xFF0000, 0, 0, 10, 24, 5, -6, "DejaVu Sans", "a:b c", true}}};
    for (const auto& c : cases) {
        const CliConfig config = Parse({"--tool", c.arg});
        ASSERT_EQ(config.tools.size(), 1u) << c.arg;
        EXPECT_EQ(config.tools[0].code, c.code) << c.arg;
        EXPECT_EQ(config.tools[0].info, c.info) << c.arg;
    }
    std::vector<std::string> args;
    for (int i = 0; i < 21; ++i) args.insert(args.end(), {"--tool", "darken"});
    EXPECT_EQ(Parse(args).tools.size(), 21u);
    args.insert(args.end(), {"--tool", "darken", "/p"});
    EXPECT_EQ(ParseArgs(args).error, "too many --tool options; at most 21");
}

TEST(CliArgs, RefusesBadValues) {
    // Cases are separated by ";", arguments by spaces; one case has none.
    std::istringstream cases(
        "--crop 4x0 /p;--crop wide /p;--mount /p;--color fff /p;--color gg0000 /p;"
        "--orient f /p;--resize 0 /p;--resize big /p;--type png /p;--quality best /p;"
        "--jobs 0 /p;--tool blur /p;--tool border:0:ffffff /p;--tool border:100:ffffff /p;"
        "--tool bevel:5:8 /p;--tool text:1:2:0:24:ffffff:Arial:x /p;"
        "--tool text:1:2:10:24:ffffff::x /p;--metadata all /p;--metadata keep_all /p;"
        "--metadata /p;--bogus /p;/a /b;;--crop");
    for (std::string line; std::getline(cases, line, ';');) {
        std::vector<std::string> args;
        std::istringstream in(line);
        for (std::string a; in >> a;) args.push_back(a);
        const ParseResult r = ParseArgs(args);
        EXPECT_FALSE(r.config.has_value()) << line;
        EXPECT_FALSE(r.error.empty() || r.error.find('\n') != std::string::npos) << line;
        // An option's own error names it.
        EXPECT_TRUE(!line.starts_with("--") || r.error.find(args[0]) != std::string::npos)
            << line << r.error;
    }
}

// The time left is the average so far times the pictures to come; each clock rounds to the
// nearest second, half a second up, and 60 seconds carry into the minutes.
TEST(CliProgress, LineOnTheTerminal) {
    const struct {
        int finished, total;
        double elapsed;
        const char* line;
    } cases[] = {{1, 4, 10.0, "1 / 4  0:10 elapsed, about 0:30 left"},
                 {2, 3, 59.5, "2 / 3  1:00 elapsed, about 0:30 left"},
                 {1, 2, 59.49, "1 / 2  0:59 elapsed, about 0:59 left"},
                 {2, 5, 39.9, "2 / 5  0:40 elapsed, about 1:00 left"},
                 {7, 7, 3725.2, "7 / 7  62:05 elapsed, about 0:00 left"},
                 {0, 9, 0.4, "0 / 9  0:00 elapsed, about 0:00 left"}};
    for (const auto& c : cases)
        EXPECT_EQ(ProgressLine(c.finished, c.total, c.elapsed), "\r" + std::string(c.line) + "   ");
}

}  // namespace
}  // namespace pictorra::cli
