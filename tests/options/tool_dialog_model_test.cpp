// The tool dialog's decisions: panels, the entries each tool accepts, its messages, the armed
// text, the sample's cell and where the dialog goes.
#include "options/tool_dialog_model.h"

#include <gtest/gtest.h>

namespace pictorra::options {
namespace {

ToolEntries Good() {
    ToolEntries e;
    e.border = "20", e.bevel = "20", e.text = "Hi", e.width = "10", e.height = "24";
    e.font = "DejaVu Sans";
    return e;
}

TEST(ToolDialogModel, EntriesAndMessages) {
    using A = ToolApply::Action;
    const struct {
        int32_t mode;
        void (*edit)(ToolEntries&);
        A action;
        const char* message;
        int32_t mode_after;
    } rows[] = {
        {kToolModeBorder, [](ToolEntries& e) { e.border = "99"; }, A::kBorder, "", 0},
        {kToolModeBorder, [](ToolEntries& e) { e.border = " 1 "; }, A::kBorder, "", 0},
        {kToolModeBorder, [](ToolEntries& e) { e.border = "0"; }, A::kNone, kBorderInvalidMessage,
         4},
        {kToolModeBorder, [](ToolEntries& e) { e.border = "100"; }, A::kNone, kBorderInvalidMessage,
         4},
        {kToolModeBorder, [](ToolEntries& e) { e.border = "abc"; }, A::kNone, kBorderInvalidMessage,
         4},
        {kToolModeBorder, [](ToolEntries& e) { e.border = ""; }, A::kNone, kBorderInvalidMessage,
         4},
        {kToolModeBevel, [](ToolEntries& e) { e.bevel = "0"; }, A::kNone, kBevelInvalidMessage, 5},
        {kToolModeBevel, [](ToolEntries& e) { e.bevel = "100"; }, A::kNone, kBevelInvalidMessage,
         5},
        {kToolModeBevel, [](ToolEntries& e) { e.bevel = "abc"; }, A::kNone, kBevelInvalidMessage,
         5},
        {kToolModeBevel, [](ToolEntries& e) { e.bevel = ""; }, A::kNone, kBevelInvalidMessage, 5},
        {kToolModeBevel, [](ToolEntries&) {}, A::kBevel, "", 0},
        {kToolModeText, [](ToolEntries&) {}, A::kArmText, "", 7},
        {kToolModeText, [](ToolEntries& e) { e.text = ""; }, A::kNone, kNoTextMessage, 6},
        {kToolModeText, [](ToolEntries& e) { e.width = "0"; }, A::kNone, kTextSizeInvalidMessage,
         6},
        {kToolModeText, [](ToolEntries& e) { e.font = ""; }, A::kNone, kNoFontMessage, 6},
    };
    for (const auto& row : rows) {
        ToolDialogModel model;
        ASSERT_TRUE(model.ShowTool(row.mode));
        ToolEntries e = Good();
        row.edit(e);
        const ToolApply r = model.Apply(e);
        EXPECT_EQ(r.action, row.action) << row.mode << " " << row.message;
        EXPECT_EQ(r.message, row.message);
        EXPECT_EQ(model.Mode(), row.mode_after) << row.message;
    }
}

TEST(ToolDialogModel, BevelStyleTextSizesAndPlacement) {
    ToolDialogModel model;
    EXPECT_FALSE(model.ShowTool(3));  // not a dialog tool: nothing shown, no mode
    EXPECT_EQ(model.Mode(), kToolModeNone);
    model.ShowTool(kToolModeBevel);
    ToolEntries e = Good();
    e.bevel_style = 1;  // "Pipe-shaped"
    ToolApply r = model.Apply(e);
    EXPECT_EQ(std::tuple(r.thickness, r.factor, r.step), std::tuple(20, 60, 200));
    model.ShowTool(kToolModeBevel);
    e.bevel_style = -1;  // nothing chosen: no shading, so nothing is drawn
    r = model.Apply(e);
    EXPECT_EQ(std::tuple(r.factor, r.step), std::tuple(0, 0));

    // A size box that is not numeric keeps the last valid value.
    model.ShowTool(kToolModeText);
    e.width = "12", e.height = "30", e.text_color = 0x0000FF;
    model.Apply(e);
    model.ShowTool(kToolModeText);
    e.width = "abc", e.height = "";
    EXPECT_EQ(model.Apply(e).action, ToolApply::Action::kArmText);
    EXPECT_EQ(std::pair(model.TextWidth(), model.TextHeight()), std::pair(12, 30));
    // Armed: apply again asks for the click; the click places the stored text.
    EXPECT_EQ(model.Apply(e).message, kClickImageMessage);
    const TextPlacement t = model.PlaceText(10, 20, true);
    EXPECT_EQ(
        std::tuple(t.text, t.color, t.width, t.height, t.bold, t.x, t.y, t.font),
        std::tuple(std::string("Hi"), 0x0000FFu, 12, 30, true, 10, 20, std::string("DejaVu Sans")));
    EXPECT_EQ(model.Mode(), kToolModeNone);
}

TEST(ToolDialogModel, SampleCellAndPlace) {
    // A 3000-pixel-wide picture shown 600 wide: 10 x 24 becomes a 2 x 5 cell (4.8 -> 5).
    const auto cell = SampleCellFor("10", "24", 600, 400, 3000, 2000);
    ASSERT_TRUE(cell);
    EXPECT_EQ(std::pair(cell->width, cell->height), std::pair(2, 5));
    EXPECT_FALSE(SampleCellFor("abc", "24", 600, 400, 3000, 2000));
    EXPECT_FALSE(SampleCellFor("10", "0", 600, 400, 3000, 2000));
    EXPECT_FALSE(SampleCellFor("10", "24", 600, 400, 0, 0));

    const Rect screen{0, 0, 1000, 800};
    const struct {
        Rect view;
        int32_t x, y;
    } places[] = {
        {{100, 50, 400, 500}, 504, 50},  // right of the view
        {{600, 50, 380, 500}, 336, 50},  // no room on the right: left of it
        {{10, 700, 980, 300}, 0, 550},   // no room either side: kept on the screen
    };
    for (const auto& p : places) {
        const DialogPlace at = PlaceBeside(p.view, 260, 250, screen);
        EXPECT_EQ(std::pair(at.x, at.y), std::pair(p.x, p.y)) << p.view.left;
    }
}

}  // namespace
}  // namespace pictorra::options
