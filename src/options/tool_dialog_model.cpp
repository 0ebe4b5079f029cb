#include "options/tool_dialog_model.h"

#include <algorithm>

#include "options/custom_op.h"
#include "options/geometry.h"
#include "shell/numeric.h"

namespace pictorra::options {

namespace {

// A thickness from 1 to 99 pixels, or nothing.
std::optional<int32_t> Thickness(const std::string& text) {
    const std::optional<int32_t> value = shell::WholeNumber(text);
    if (!value || *value < 1 || *value > 99) return std::nullopt;
    return value;
}

ToolApply Message(const char* text) {
    ToolApply result;
    result.message = text;
    return result;
}

}  // namespace

bool ToolDialogModel::ShowTool(int32_t mode) {
    if (mode != kToolModeBorder && mode != kToolModeBevel && mode != kToolModeText) {
        mode_ = kToolModeNone;
        return false;
    }
    mode_ = mode;
    return true;
}

ToolApply ToolDialogModel::Apply(const ToolEntries& entries) {
    switch (mode_) {
        case kToolModeBorder:
        case kToolModeBevel: {
            const bool border = mode_ == kToolModeBorder;
            const std::optional<int32_t> thickness =
                Thickness(border ? entries.border : entries.bevel);
            if (!thickness) return Message(border ? kBorderInvalidMessage : kBevelInvalidMessage);
            mode_ = kToolModeNone;
            ToolApply result;
            result.action = border ? ToolApply::Action::kBorder : ToolApply::Action::kBevel;
            result.thickness = *thickness;
            result.color = entries.border_color;
            // No style chosen gives no shading, which draws nothing.
            if (!border && entries.bevel_style >= 0 && entries.bevel_style < 8) {
                result.factor = kBevelStyles[entries.bevel_style].iFactor;
                result.step = kBevelStyles[entries.bevel_style].LStep;
            }
            return result;
        }
        case kToolModeText: {
            text_color_ = entries.text_color;
            text_ = entries.text;
            if (text_.empty()) return Message(kNoTextMessage);
            if (const auto width = shell::WholeNumber(entries.width)) text_width_ = *width;
            if (const auto height = shell::WholeNumber(entries.height)) text_height_ = *height;
            if (text_width_ == 0 || text_height_ == 0) return Message(kTextSizeInvalidMessage);
            font_ = entries.font;
            if (font_.empty()) return Message(kNoFontMessage);
            mode_ = kToolModeTextArmed;
            ToolApply result;
            result.action = ToolApply::Action::kArmText;
            return result;
        }
        case kToolModeTextArmed:
            return Message(kClickImageMessage);
        default:
            return {};
    }
}

TextPlacement ToolDialogModel::PlaceText(int32_t x, int32_t y, bool bold) {
    mode_ = kToolModeNone;
    return TextPlacement{text_, text_color_, text_width_, text_height_, bold, x, y, font_};
}

DialogPlace PlaceBeside(const Rect& view, int32_t width, int32_t height, const Rect& screen) {
    // Right of the view if it fits there, else left of it; always wholly on the screen.
    int32_t x = view.left + view.width + kDialogGap;
    if (x + width > screen.left + screen.width) x = view.left - kDialogGap - width;
    x = std::clamp(x, screen.left, std::max(screen.left, screen.left + screen.width - width));
    const int32_t y =
        std::clamp(view.top, screen.top, std::max(screen.top, screen.top + screen.height - height));
    return {x, y};
}

std::optional<SampleCell> SampleCellFor(const std::string& width, const std::string& height,
                                        double inner_width, double inner_height, int32_t pic_wide,
                                        int32_t pic_high) {
    const int32_t w = shell::WholeNumber(width).value_or(0);
    const int32_t h = shell::WholeNumber(height).value_or(0);
    if (w == 0 || h == 0 || pic_wide == 0 || pic_high == 0) return std::nullopt;
    return SampleCell{Nearest(w * (inner_width / pic_wide)),
                      Nearest(h * (inner_height / pic_high))};
}

}  // namespace pictorra::options
