#include "cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace pictorra::cli {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A whole number within [low, high], digits only (and a leading minus when low < 0).
std::optional<int32_t> Whole(const std::string& text, int64_t low, int64_t high) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') return std::nullopt;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || value < low || value > high) return std::nullopt;
    return static_cast<int32_t>(value);
}

// RRGGBB as people write colours, turned into a colour reference (red in the low byte).
std::optional<uint32_t> Colour(const std::string& text) {
    if (text.size() != 6) return std::nullopt;
    uint32_t rgb = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
    if (ec != std::errc() || ptr != text.data() + 6) return std::nullopt;
    const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r | (g << 8) | (b << 16);
}

std::vector<std::string> Split(const std::string& text, char sep, size_t max_parts) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < max_parts) {
        const size_t at = text.find(sep, start);
        if (at == std::string::npos) break;
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

constexpr const char* kToolValues =
    "lighten, darken, sharpen, soften, border:THICK:RRGGBB, bevel:THICK:STYLE, "
    "text:X:Y:WIDTH:HEIGHT:RRGGBB:FONT:TEXT or text-bold:...";

std::optional<Tool> ParseTool(const std::string& text) {
    Tool tool;
    const std::string kind = Lower(text.substr(0, text.find(':')));
    if (kind == "lighten" || kind == "darken" || kind == "sharpen" || kind == "soften") {
        if (text.find(':') != std::string::npos) return std::nullopt;
        tool.code = kind == "lighten"   ? options::kOpLighten
                    : kind == "darken"  ? options::kOpDarken
                    : kind == "sharpen" ? options::kOpSharpen
                                        : options::kOpSoften;
        return tool;
    }
    if (kind == "border") {
        const auto parts = Split(text, ':', 3);
        if (parts.size() != 3) return std::nullopt;
        const auto thick = Whole(parts[1], 1, 99);
        const auto colour = Colour(parts[2]);
        if (!thick || !colour) return std::nullopt;
        tool.code = options::kOpBorder;
        tool.info.LThick = *thick;
        tool.info.LCol = *colour;
        return tool;
    }
    if (kind == "bevel") {
        const auto parts = Split(text, ':', 3);
        if (parts.size() != 3) return std::nullopt;
        const auto thick = Whole(parts[1], 1, 99);
        if (!thick) return std::nullopt;
        std::optional<int> style = Whole(parts[2], 0, 7);
        for (int i = 0; !style && i < 8; ++i)
            if (Lower(parts[2]) == Lower(options::kBevelStyles[i].name)) style = i;
        if (!style) return std::nullopt;
        tool.code = options::kOpBevel;
        tool.info.LThick = *thick;
        tool.info.iFactor = options::kBevelStyles[*style].iFactor;
        tool.info.LStep = options::kBevelStyles[*style].LStep;
        return tool;
    }
    if (kind == "text" || kind == "text-bold") {
        const auto parts = Split(text, ':', 8);
        if (parts.size() != 8) return std::nullopt;
        const auto x = Whole(parts[1], -1000000, 1000000);
        const auto y = Whole(parts[2], -1000000, 1000000);
        const auto width = Whole(parts[3], 1, 10000);
        const auto height = Whole(parts[4], 1, 10000);
        const auto colour = Colour(parts[5]);
        if (!x || !y || !width || !height || !colour || parts[6].empty() || parts[7].empty())
            return std::nullopt;
        tool.code = options::kOpText;
        tool.info.XPt = *x;
        tool.info.YPt = *y;
        tool.info.FontW = *width;
        tool.info.FontH = *height;
        tool.info.LCol = *colour;
        tool.info.sFontName = parts[6];
        tool.info.sText = parts[7];
        tool.info.IfBold = kind == "text-bold";
        return tool;
    }
    return std::nullopt;
}

std::string Invalid(const std::string& option, const std::string& accepted) {
    return "invalid value for " + option + "; accepted: " + accepted;
}

}  // namespace

const char* const kUsage =
    "Usage: pictorra-cli [OPTIONS] PATH\n"
    "Prepares one picture file or every picture of a folder (BMP, JPG, JPEG, GIF, PNG,\n"
    "WEBP, TIF, TIFF, HEIC, HEIF).\n"
    "\n"
    "  --crop RATIO       crop to 4x6, 5x7, 8x10, square or SMxLG (a custom ratio)\n"
    "  --mount            mount on a canvas of the ratio instead of cropping (with --crop)\n"
    "  --color RRGGBB     mounting colour (default ffffff)\n"
    "  --orient a|b|c|d|e keep upper left, upper right, lower right, lower left or the centre\n"
    "                     (default e)\n"
    "  --no-orient-name   leave the orientation letter out of output names\n"
    "  --resize SIZE      resize: mini, ez, desk (the stored presets) or a number of pixels\n"
    "  --hq               high quality of detail (for enlarging)\n"
    "  --type jpg|bmp     output type (default jpg)\n"
    "  --quality fair|good|high|veryhigh\n"
    "                     JPG quality 75, 85, 92 or 100 (default good)\n"
    "  --metadata keep-all|no-location|none\n"
    "                     photo information in JPG outputs: all of it, all but where the\n"
    "                     photo was taken, or none (default no-location)\n"
    "  --name NAME        output file name (a single file only)\n"
    "  --tool TOOL        a hand tool replayed on every output after crop or mount, before\n"
    "                     resize; repeat for more (at most 21): lighten, darken, sharpen,\n"
    "                     soften, border:THICK:RRGGBB, bevel:THICK:STYLE,\n"
    "                     text:X:Y:WIDTH:HEIGHT:RRGGBB:FONT:TEXT, text-bold:...\n"
    "  --yes              answer OK to \"Overwrite?\" and \"Delete it?\"\n"
    "  --jobs N           pictures of a folder worked on at once (default: one per core)\n"
    "  --quiet            no progress line\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 all written, 1 some failed, 2 bad usage or path, 3 cancelled,\n"
    "4 no picture files in the folder.\n";

ParseResult ParseArgs(const std::vector<std::string>& args) {
    CliConfig config;
    bool mount = false, have_crop = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            config.help = true;
        } else if (arg == "--version") {
            config.version = true;
        } else if (arg == "--crop") {
            const std::string accepted = "4x6, 5x7, 8x10, square or SMxLG (whole numbers >= 1)";
            if (!value(v)) return {std::nullopt, Invalid("--crop", accepted)};
            const std::string lower = Lower(v);
            have_crop = true;
            config.controls.CkCrop = true;
            if (lower == "4x6") {
                config.controls.OpSize = 0;
            } else if (lower == "5x7") {
                config.controls.OpSize = 1;
            } else if (lower == "8x10") {
                config.controls.OpSize = 2;
            } else if (lower == "square") {
                config.controls.OpSize = 3;
            } else {
                const auto parts = Split(lower, 'x', 2);
                const auto sm = parts.size() == 2 ? Whole(parts[0], 1, 1000000) : std::nullopt;
                const auto lg = parts.size() == 2 ? Whole(parts[1], 1, 1000000) : std::nullopt;
                if (!sm || !lg) return {std::nullopt, Invalid("--crop", accepted)};
                config.controls.OpSize = 4;
                config.custom_small = sm;
                config.custom_large = lg;
            }
        } else if (arg == "--mount") {
            mount = true;
        } else if (arg == "--color") {
            std::optional<uint32_t> c;
            if (value(v)) c = Colour(v);
            if (!c) return {std::nullopt, Invalid("--color", "RRGGBB in hexadecimal")};
            config.mount_color = *c;
        } else if (arg == "--orient") {
            if (!value(v) || v.size() != 1 || v[0] < 'a' || v[0] > 'e')
                return {std::nullopt, Invalid("--orient", "a, b, c, d or e")};
            config.controls.OpDir = v[0] - 'a';
        } else if (arg == "--no-orient-name") {
            config.controls.CkOrient = false;
        } else if (arg == "--resize") {
            const std::string accepted = "mini, ez, desk or a number of pixels from 1 to 65535";
            if (!value(v)) return {std::nullopt, Invalid("--resize", accepted)};
            config.controls.CkResize = true;
            const std::string lower = Lower(v);
            if (lower == "mini") {
                config.controls.OpResize = 0;
            } else if (lower == "ez") {
                config.controls.OpResize = 1;
            } else if (lower == "desk") {
                config.controls.OpResize = 2;
            } else if (const auto n = Whole(v, 1, 65535)) {
                config.controls.OpResize = 2;
                config.resize_pixels = n;
            } else {
                return {std::nullopt, Invalid("--resize", accepted)};
            }
        } else if (arg == "--hq") {
            config.controls.OpResizeQuality = 1;
        } else if (arg == "--type") {
            const std::string lower = value(v) ? Lower(v) : "";
            if (lower != "jpg" && lower != "bmp")
                return {std::nullopt, Invalid("--type", "jpg or bmp")};
            config.controls.OpType = lower == "jpg" ? 0 : 1;
        } else if (arg == "--quality") {
            static constexpr const char* kNames[4] = {"fair", "good", "high", "veryhigh"};
            const std::string lower = value(v) ? Lower(v) : "";
            const auto* found = std::find(std::begin(kNames), std::end(kNames), lower);
            if (found == std::end(kNames))
                return {std::nullopt, Invalid("--quality", "fair, good, high or veryhigh")};
            config.controls.QList = int(found - std::begin(kNames));
        } else if (arg == "--metadata") {
            std::optional<image::MetadataChoice> choice;
            if (value(v)) choice = image::ParseMetadataChoice(Lower(v));
            if (!choice)
                return {std::nullopt, Invalid("--metadata", "keep-all, no-location or none")};
            config.metadata = choice;
        } else if (arg == "--name") {
            if (!value(v)) return {std::nullopt, Invalid("--name", "a file name")};
            config.controls.TName = v;
        } else if (arg == "--tool") {
            std::optional<Tool> tool;
            if (value(v)) tool = ParseTool(v);
            if (!tool) return {std::nullopt, Invalid("--tool", kToolValues)};
            if (config.tools.size() >= kMaxTools)
                return {std::nullopt, "too many --tool options; at most 21"};
            config.tools.push_back(*tool);
        } else if (arg == "--yes" || arg == "-y") {
            config.yes = true;
        } else if (arg == "--quiet" || arg == "-q") {
            config.quiet = true;
        } else if (arg == "--jobs" || arg == "-j") {
            std::optional<int32_t> n;
            if (value(v)) n = Whole(v, 1, 256);
            if (!n) return {std::nullopt, Invalid("--jobs", "a number from 1 to 256")};
            config.jobs = *n;
        } else if (arg == "--") {
            if (i + 2 != args.size() || !config.path.empty())
                return {std::nullopt, "exactly one PATH expected"};
            config.path = args[++i];
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return {std::nullopt, "unknown option " + arg + "; see --help"};
        } else {
            if (!config.path.empty()) return {std::nullopt, "exactly one PATH expected"};
            config.path = arg;
        }
    }
    if (mount && !have_crop) return {std::nullopt, "--mount needs --crop"};
    config.controls.CkMount = mount;
    if (!config.help && !config.version && config.path.empty())
        return {std::nullopt, "a PATH (picture file or folder) is required; see --help"};
    return {config, {}};
}

}  // namespace pictorra::cli
