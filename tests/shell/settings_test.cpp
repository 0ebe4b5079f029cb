// Numeric text, the size presets and custom ratio through the settings store, and the store
// over QSettings.
#include <gtest/gtest.h>
#include <stdlib.h>

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
    const Case cases[] = {
        {"260", 260},     {"  450  ", 450}, {"+7", 7},       {"-40", -40},   {"300.5", 300},
        {"301.5", 302},   {".5", 0},        {"1.", 1},       {"\t12\t", 12}, {"", std::nullopt},
        {" ", std::nullopt}, {"1e3", std::nullopt}, {"0x10", std::nullopt}, {"1,5", std::nullopt},
        {"--1", std::nullopt}, {".", std::nullopt}, {"12a", std::nullopt}, {"1 2", std::nullopt},
        {"99999999999", INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNumeric(c.text), c.value.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(WholeNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

class MemoryStore : public SettingsStore {
public:
    std::map<std::string, std::string> values;
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& fallback) override {
        EXPECT_EQ(app, "Pictorra");
        EXPECT_EQ(section, "Sizes");
        const auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    void SaveSetting(const std::string&, const std::string&, const std::string& key,
                     const std::string& value) override {
        values[key] = value;
    }
};

class RecordingView : public SizeSettingsView {
public:
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
    void TearDown() override { ResetSharedValues(); }
    MemoryStore store;
    RecordingView view;
};

TEST_F(SizeSettingsTest, LoadChecksEveryStoredValue) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> stored;
        int32_t s1, s2, s3, sm, lg;
        std::string caption;
    };
    const Case cases[] = {
        {"Empty", {}, 260, 640, 800, 0, 0, ""},
        {"Bounds", {{"Size1", "20"}, {"Size2", "2000"}, {"Size3", "19"}}, 20, 2000, 800, 0, 0, ""},
        {"TooLarge", {{"Size2", "2001"}}, 260, 640, 800, 0, 0, ""},
        {"HalfToEven", {{"Size1", "300.5"}, {"Size3", "abc"}}, 300, 640, 800, 0, 0, ""},
        {"Custom", {{"CropSmDim", "5"}, {"CropLgDim", "7"}}, 260, 640, 800, 5, 7, "5 x 7"},
        {"CustomHalf", {{"CropSmDim", "5"}}, 260, 640, 800, 0, 0, ""},
        {"CustomZero", {{"CropSmDim", "0"}, {"CropLgDim", "0"}}, 260, 640, 800, 0, 0, "0 x 0"},
    };
    for (const Case& c : cases) {
        ResetSharedValues();
        store.values = c.stored;
        view = RecordingView{};
        LoadSizeSettings(store, view);
        EXPECT_EQ(gSize1, c.s1) << c.name;
        EXPECT_EQ(gSize2, c.s2) << c.name;
        EXPECT_EQ(gSize3, c.s3) << c.name;
        EXPECT_EQ(gCropSmDim, c.sm) << c.name;
        EXPECT_EQ(gCropLgDim, c.lg) << c.name;
        EXPECT_EQ(view.caption, c.caption) << c.name;
        EXPECT_EQ(view.labels[0], std::to_string(c.s1) + "px") << c.name;
        EXPECT_EQ(view.fields[1], std::to_string(c.s2)) << c.name;
    }
    EXPECT_EQ(view.tips[0], "Good for email. Largest dimension - 260 pixels.");
    EXPECT_EQ(view.tips[1], "Good for viewing. Largest dimension - 640 pixels.");
    EXPECT_EQ(view.tips[2], "Fits Desktop. Largest dimension - 800 pixels.");
}

TEST_F(SizeSettingsTest, SaveTakesWhatTheDialogHolds) {
    SaveSizeSettings(store, view, {"10", "  450  ", "   ", " 5", "7"});
    EXPECT_EQ(gSize1, 10);  // no range check on save
    EXPECT_EQ(gSize2, 450);
    EXPECT_EQ(gSize3, 800);  // blanks only change nothing
    EXPECT_EQ(store.values["Size1"], "10");
    EXPECT_EQ(store.values["Size2"], "450");
    EXPECT_EQ(store.values.count("Size3"), 0u);
    EXPECT_EQ(view.labels[1], "450px");
    EXPECT_EQ(view.caption, " 5 x 7");  // typed as is
    EXPECT_EQ(store.values["CropSmDim"], " 5");
    EXPECT_EQ(gCropSmDim, 5);
    EXPECT_EQ(view.custom_enabled, 1);
    // A stored 10 is ignored at the next start.
    ResetSharedValues();
    LoadSizeSettings(store, view);
    EXPECT_EQ(gSize1, 260);
    // One custom field alone changes nothing.
    SaveSizeSettings(store, view, {"", "", "", "3", ""});
    EXPECT_EQ(gCropSmDim, 5);
    EXPECT_EQ(store.values["CropSmDim"], " 5");
}

TEST(QtSettingsStore, RoundTripInTheUsersConfigFolder) {
    const std::string root = std::filesystem::temp_directory_path() / "pictorra-settings-test";
    std::filesystem::remove_all(root);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    QtSettingsStore store;
    EXPECT_EQ(store.GetSetting("Pictorra", "Sizes", "Size1", "260"), "260");
    store.SaveSetting("Pictorra", "Sizes", "Size1", "300");
    store.SaveSetting("Pictorra", "Sizes", "CropSmDim", " 5");
    QtSettingsStore again;
    EXPECT_EQ(again.GetSetting("Pictorra", "Sizes", "Size1", "260"), "300");
    EXPECT_EQ(again.GetSetting("Pictorra", "Sizes", "CropSmDim", ""), " 5");
    EXPECT_TRUE(std::filesystem::exists(root + "/Pictorra/Pictorra.ini"));
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace pictorra::shell
