#pragma once
// The command line of pictorra-cli: every option stands for a control of the main window, and
// an omitted option leaves that control as the window starts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/metadata_choice.h"
#include "options/custom_op.h"
#include "options/job_windows.h"

namespace pictorra::cli {

struct Tool {
    int32_t code = options::kOpNone;
    options::CustomOpInfo info;
};

struct CliConfig {
    options::OptionControls controls;
    std::optional<int32_t> custom_small, custom_large;  // --crop SMxLG
    std::optional<int32_t> resize_pixels;               // --resize N
    uint32_t mount_color = 0xFFFFFF;                    // colour reference
    std::optional<image::MetadataChoice> metadata;      // --metadata; else the stored choice
    std::vector<Tool> tools;
    bool yes = false;
    bool quiet = false;
    int jobs = 0;  // 0: one per core
    bool help = false;
    bool version = false;
    std::string path;
};

struct ParseResult {
    std::optional<CliConfig> config;
    std::string error;  // one line naming the option and what it accepts
};

ParseResult ParseArgs(const std::vector<std::string>& args);

// Most tools one run records, like the window's list.
inline constexpr size_t kMaxTools = options::kCustomOpSlots;

extern const char* const kUsage;

}  // namespace pictorra::cli
