#pragma once
// What the tool dialog decides, apart from its window: which panel is in front, whether the
// entries are good enough to apply a border, a frame or a text, the messages when they are not,
// the text that waits for its click in the picture, and the size of the font sample.
//
// Modes: 0 none, 4 border, 5 frame / bevel, 6 text, 7 text armed (the next click in the image
// view places it). Numbers are typed text, read by the one "numeric" rule of the program.

#include <cstdint>
#include <optional>
#include <string>

namespace pictorra::options {

inline constexpr int32_t kToolModeNone = 0;
inline constexpr int32_t kToolModeBorder = 4;
inline constexpr int32_t kToolModeBevel = 5;
inline constexpr int32_t kToolModeText = 6;
inline constexpr int32_t kToolModeTextArmed = 7;

inline constexpr char kBorderInvalidMessage[] = "Border width entry invalid.";
inline constexpr char kBevelInvalidMessage[] = "Bevel width entry invalid.";
inline constexpr char kNoTextMessage[] = "No text has been entered for printing.";
inline constexpr char kTextSizeInvalidMessage[] = "Text width or height value invalid.";
inline constexpr char kNoFontMessage[] = "A font face must be selected.";
inline constexpr char kClickImageMessage[] =
    "Mouse must be clicked on image to select text position.";
inline constexpr char kToolHelpMessage[] =
    "Select font face, color and size. Enter text to print in bottom field. Click OK. Then click "
    "on image to select left edge of text.";
// The face the sample uses while no face is chosen; fontconfig maps it to an installed one.
inline constexpr char kSampleFallbackFace[] = "MS Sans Serif";
inline constexpr char kSampleText[] = "Ab";

// The dialog's entries as they stand when apply is pressed.
struct ToolEntries {
    std::string border;         // TBorder
    uint32_t border_color = 0;  // LabCol
    std::string bevel;          // TBev
    int32_t bevel_style = 3;    // BoxBev, -1 when nothing is selected
    std::string text;           // TCap
    std::string width;          // TSize(0)
    std::string height;         // TSize(1)
    std::string font;           // BoxFont
    uint32_t text_color = 0;    // LabColT
};

struct ToolApply {
    enum class Action { kNone, kBorder, kBevel, kArmText };
    Action action = Action::kNone;
    std::string message;  // the information box to show, "" for none
    int32_t thickness = 0;
    int32_t factor = 0;  // bevel shading of the chosen style (0, 0 with no style)
    int32_t step = 0;
    uint32_t color = 0;  // border colour
};

// What DoText gets when the armed text is placed.
struct TextPlacement {
    std::string text;
    uint32_t color = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool bold = false;
    int32_t x = 0;
    int32_t y = 0;
    std::string font;
};

class ToolDialogModel {
public:
    int32_t Mode() const { return mode_; }

    // The image view's tools 4, 5 and 6 bring their panel to the front: true, show the dialog.
    // Anything else ends every mode: false, and the dialog is not shown.
    bool ShowTool(int32_t mode);

    // The apply button. Border and bevel close the dialog when they apply (mode 0); text arms the
    // placement (mode 7) and keeps it open. A message leaves the mode as it was.
    ToolApply Apply(const ToolEntries& entries);

    // The cancel button: mode 0.
    void Cancel() { mode_ = kToolModeNone; }

    // The click in the picture that places the armed text: the stored text with the click point,
    // then mode 0. The image view passes the click only while a text is armed.
    TextPlacement PlaceText(int32_t x, int32_t y, bool bold);

    // The colour both swatches start from: the last one chosen in either.
    uint32_t RememberedColor() const { return remembered_color_; }
    void SetRememberedColor(uint32_t color) { remembered_color_ = color; }

    // The last valid size entries (0 until one was valid).
    int32_t TextWidth() const { return text_width_; }
    int32_t TextHeight() const { return text_height_; }

private:
    int32_t mode_ = kToolModeNone;
    uint32_t remembered_color_ = 0;
    int32_t text_width_ = 0;
    int32_t text_height_ = 0;
    uint32_t text_color_ = 0;
    std::string text_;
    std::string font_;
};

// The sample's character cell: the two size entries scaled from the full picture to the preview
// (inner size of the picture box against the picture's size), each to the nearest whole number.
// Nothing when an entry is not numeric or is 0, or the picture has no size.
struct SampleCell {
    int32_t width = 0;
    int32_t height = 0;
};
std::optional<SampleCell> SampleCellFor(const std::string& width, const std::string& height,
                                        double inner_width, double inner_height, int32_t pic_wide,
                                        int32_t pic_high);

// Where the dialog goes: beside the image view, on the right when it fits there, else on the
// left, and always wholly on the screen. Pixels.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};
struct DialogPlace {
    int32_t x = 0;
    int32_t y = 0;
};
inline constexpr int32_t kDialogGap = 4;
DialogPlace PlaceBeside(const Rect& view, int32_t width, int32_t height, const Rect& screen);

}  // namespace pictorra::options
