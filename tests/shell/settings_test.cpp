// Numeric text, the size presets and custom ratio through the settings store, and the store
// over QSettings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <map>

#include "shell/numeric.h"
#include "shell/qt_settings_store.h"
#include "shell/shared_values.h"
#include "shell/size_settings.h"

namespace pictorra::shell {
namespace {

TEST(Numeric, WhatCountsAsANumber) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    constexpr std::nullopt_t no = std::nullopt;
    const Case cases[] = {
        {"260", 260}, {"  450  ", 450}, {"+7", 7},   {"-40", -40}, {"300.5", 300}, {"301.5", 302},
        {".5", 0},    {"1.", 1},        {"\t12\t", 12}, {"", no},   {" ", no},      {"1e3", no},
        {"0x10", no}, {"1,5", no},      {"--1", no}, {".", no},    {"12a", no},    {"1 2", no},
        {"99999999999", INT32_MAX}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsNumeric(c.text), c.value.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(WholeNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

// The store under Pictorra / Sizes, by key.
struct MemoryStore : SettingsStore {
    std::map<std::string, std::string> values;
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& fallback) override {
        EXPECT_EQ(app + "/" + section, "Pictorra/Sizes");
        return values.contains(key) ? values[key] : fallback;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        EXPECT_EQ(app + "/" + section, "Pictorra/Sizes");
        values[key] = value;
    }
};

struct RecordingView : SizeSettingsView {
    std::string labels[3], tips[3], fields[5], caption;
    int custom_enabled = 0;
    void SetPresetLabel(int i, const std::string& t) override { labels[i] = t; }
    void SetPresetTip(int i, const std::string& t) override { tips[i] = t; }
    void SetDialogField(int i, const std::string& t) override { fields[i] = t; }
    void SetCustomRatioCaption(const std::string& t) override { caption = t; }
    void EnableCustomRatioIfRatiosEnabled() override { ++custom_enabled; }
};

class SizeSettingsTest : public testing::Test {
protected:
    void SetUp() override { ResetSharedValues(); }
    static std::array<int32_t, 5> Values() {
        return {gSize1, gSize2, gSize3, gCropSmDim, gCropLgDim};
    }
    MemoryStore store;
    RecordingView view;
};

TEST_F(SizeSettingsTest, LoadChecksEveryStoredValue) {
    struct Case {
        std::map<std::string, std::string> stored;
        std::array<int32_t, 5> values;  // the presets, the custom ratio's sides
        std::string caption;
    };
    const Case cases[] = {
        {{}, {260, 640, 800, 0, 0}, ""},
        {{{"Size1", "20"}, {"Size2", "2000"}, {"Size3", "19"}}, {20, 2000, 800, 0, 0}, ""},
        {{{"Size2", "2001"}}, {260, 640, 800, 0, 0}, ""},
        {{{"Size1", "300.5"}, {"Size3", "abc"}}, {300, 640, 800, 0, 0}, ""},
        {{{"CropSmDim", "5"}, {"CropLgDim", " 7"}}, {260, 640, 800, 5, 7}, "5 x  7"},
        {{{"CropSmDim", "5"}}, {260, 640, 800, 0, 0}, ""},
        {{{"CropSmDim", "0"}, {"CropLgDim", "0"}}, {260, 640, 800, 0, 0}, "0 x 0"}};
    for (const Case& c : cases) {
        ResetSharedValues();
        store.values = c.stored;
        view = RecordingView{};
        LoadSizeSettings(store, view);
        const auto i = &c - cases;
        EXPECT_EQ(Values(), c.values) << i;
        EXPECT_EQ(view.caption, c.caption) << i;
        EXPECT_EQ(view.labels[0], std::to_string(c.values[0]) + "px") << i;
        EXPECT_EQ(view.fields[1], std::to_string(c.values[1])) << i;
        EXPECT_EQ(view.fields[4], c.caption.empty() ? "" : c.stored.at("CropLgDim")) << i;
    }
    EXPECT_EQ(view.tips[0], "Good for email. Largest dimension - 260 pixels.");
    EXPECT_EQ(view.tips[2], "Fits Desktop. Largest dimension - 800 pixels.");
}

TEST_F(SizeSettingsTest, SaveTakesWhatTheDialogHolds) {
    SaveSizeSettings(store, view, {"10", "  450  ", "   ", " 5", "7"});
    EXPECT_EQ(Values(), (std::array{10, 450, 800, 5, 7}));  // no range check; blanks change nothing
    EXPECT_EQ(store.values,
              (std::map<std::string, std::string>{
                  {"Size1", "10"}, {"Size2", "450"}, {"CropSmDim", " 5"}, {"CropLgDim", "7"}}));
    EXPECT_EQ(view.labels[1], "450px");
    EXPECT_EQ(view.caption, " 5 x 7");  // as typed
    EXPECT_EQ(view.custom_enabled, 1);
    ResetSharedValues();
    LoadSizeSettings(store, view);  // the stored 10 is out of range at the next start
    EXPECT_EQ(Values(), (std::array{260, 450, 800, 5, 7}));
    SaveSizeSettings(store, view, {"", "", "", "3", ""});  // one custom side alone: nothing
    EXPECT_EQ(gCropSmDim, 5);
    EXPECT_EQ(store.values["CropSmDim"], " 5");
    EXPECT_EQ(view.custom_enabled, 1);
}

TEST(QtSettingsStore, RoundTripInTheUsersConfigFolder) {
    const std::string root = std::filesystem::temp_directory_path() / "pictorra-settings-test";
    std::filesystem::remove_all(root);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    QtSettingsStore store;
    EXPECT_EQ(store.GetSetting("Pictorra", "Sizes", "Size1", "260"), "260");
    store.SaveSetting("Pictorra", "Sizes", "CropSmDim", " 5");
    EXPECT_EQ(QtSettingsStore().GetSetting("Pictorra", "Sizes", "CropSmDim", ""), " 5");
    EXPECT_TRUE(std::filesystem::exists(root + "/Pictorra/Pictorra.ini"));
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace pictorra::shell
