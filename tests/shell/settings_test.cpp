// Numeric text, the size settings through the store, and the store over QSettings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <map>
#include <optional>

#include "shell/numeric.h"
#include "shell/qt_settings_store.h"
#include "shell/shared_values.h"
#include "shell/size_settings.h"

namespace pictorra::shell {
namespace {

using Map = std::map<std::string, std::string>;

TEST(Numeric, WhatCountsAsANumber) {
    constexpr std::nullopt_t no = std::nullopt;
    // clang-format off
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"260", 260}, {"  450  ", 450}, {"+7", 7}, {"-40", -40}, {"300.5", 300}, {"301.5", 302},
        {".5", 0}, {"1.", 1}, {"\t12\t", 12}, {"", no}, {" ", no}, {"1e3", no}, {"0x10", no},
        {"1,5", no}, {"--1", no}, {".", no}, {"12a", no}, {"1 2", no}, {"99999999999", INT32_MAX}};
    // clang-format on
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(IsNumeric(text), value.has_value()) << '"' << text << '"';
        EXPECT_EQ(WholeNumber(text), value) << '"' << text << '"';
    }
}

struct Recorder : SettingsStore, SizeSettingsView {
    Map values;
    std::string labels[3], fields[5], caption;
    std::optional<image::MetadataChoice> metadata;  // as last shown
    int custom_enabled = 0;
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
    void SetPresetLabel(int i, const std::string& t) override { labels[i] = t; }
    void SetDialogField(int i, const std::string& t) override { fields[i] = t; }
    void SetCustomRatioCaption(const std::string& t) override { caption = t; }
    void EnableCustomRatioIfRatiosEnabled() override { ++custom_enabled; }
    void SetMetadataChoice(image::MetadataChoice c) override { metadata = c; }
};

std::array<int32_t, 5> Values() { return {gSize1, gSize2, gSize3, gCropSmDim, gCropLgDim}; }

// Presets outside 20..2000 or not numbers keep their defaults; the custom ratio needs both sides.
TEST(SizeSettings, LoadChecksEveryStoredValue) {
    const struct {
        Map stored;
        std::array<int32_t, 5> values;  // the presets, the custom ratio's sides
        std::string caption;
    } cases[] = {{{}, {260, 640, 800, 0, 0}, ""},
                 {{{"Size1", "20"}, {"Size2", "2000"}, {"Size3", "19"}}, {20, 2000, 800, 0, 0}, ""},
                 {{{"Size2", "2001"}}, {260, 640, 800, 0, 0}, ""},
                 {{{"Size1", "300.5"}, {"Size3", "abc"}}, {300, 640, 800, 0, 0}, ""},
                 {{{"CropSmDim", "5"}, {"CropLgDim", " 7"}}, {260, 640, 800, 5, 7}, "5 x  7"},
                 {{{"CropSmDim", "5"}}, {260, 640, 800, 0, 0}, ""},
                 {{{"CropSmDim", "0"}, {"CropLgDim", "0"}}, {260, 640, 800, 0, 0}, "0 x 0"}};
    for (const auto& c : cases) {
        ResetSharedValues();
        Recorder r;
        r.values = c.stored;
        LoadSizeSettings(r, r);
        const auto i = &c - cases;
        EXPECT_EQ(Values(), c.values) << i;
        EXPECT_EQ(r.caption, c.caption) << i;
        EXPECT_EQ(r.labels[0], std::to_string(c.values[0]) + "px") << i;
        EXPECT_EQ(r.fields[1], std::to_string(c.values[1])) << i;
        EXPECT_EQ(r.fields[4], c.caption.empty() ? "" : c.stored.at("CropLgDim")) << i;
    }
}

TEST(SizeSettings, SaveTakesWhatTheDialogHolds) {
    ResetSharedValues();
    Recorder r;
    SaveSizeSettings(r, r, {"10", "  450  ", "   ", " 5", "7"}, image::MetadataChoice::kNoLocation);
    EXPECT_EQ(Values(), (std::array{10, 450, 800, 5, 7}));  // no range check; blanks change nothing
    EXPECT_EQ(r.values, (Map{{"Size1", "10"},
                             {"Size2", "450"},
                             {"CropSmDim", " 5"},
                             {"CropLgDim", "7"},
                             {"Metadata", "no-location"}}));
    EXPECT_EQ(r.labels[1], "450px");
    EXPECT_EQ(r.caption, " 5 x 7");  // as typed
    EXPECT_EQ(r.custom_enabled, 1);
    ResetSharedValues();
    LoadSizeSettings(r, r);  // the stored 10 is out of range at the next start
    EXPECT_EQ(Values(), (std::array{260, 450, 800, 5, 7}));
    SaveSizeSettings(r, r, {"", "", "", "3", ""},  // one custom side alone: nothing
                     image::MetadataChoice::kNoLocation);
    EXPECT_EQ(std::pair(gCropSmDim, r.values["CropSmDim"]), std::pair(5, std::string(" 5")));
    EXPECT_EQ(r.custom_enabled, 1);
}

// The information choice: stored as its word, read back at the next start; a missing or unknown
// word is "no-location". Saving takes it whatever the other fields hold.
TEST(SizeSettings, MetadataChoiceRoundTrip) {
    using image::MetadataChoice;
    const struct {
        std::optional<std::string> stored;
        MetadataChoice loaded;
    } loads[] = {{std::nullopt, MetadataChoice::kNoLocation},
                 {"keep-all", MetadataChoice::kKeepAll},
                 {"none", MetadataChoice::kNone},
                 {"no-location", MetadataChoice::kNoLocation},
                 {"KEEP-ALL", MetadataChoice::kNoLocation},
                 {"everything", MetadataChoice::kNoLocation},
                 {"", MetadataChoice::kNoLocation}};
    for (const auto& c : loads) {
        ResetSharedValues();
        gMetadata = MetadataChoice::kNone;  // not what a load leaves behind
        Recorder r;
        if (c.stored) r.values["Metadata"] = *c.stored;
        LoadSizeSettings(r, r);
        EXPECT_EQ(gMetadata, c.loaded) << c.stored.value_or("(none)");
        EXPECT_EQ(r.metadata, c.loaded);
    }
    for (const MetadataChoice saved :
         {MetadataChoice::kKeepAll, MetadataChoice::kNone, MetadataChoice::kNoLocation}) {
        ResetSharedValues();
        Recorder r;
        SaveSizeSettings(r, r, {"", "", "", "", ""}, saved);
        EXPECT_EQ(gMetadata, saved);
        EXPECT_EQ(r.metadata, saved);
        EXPECT_EQ(r.values.at("Metadata"), image::MetadataChoiceWord(saved));
        ResetSharedValues();
        LoadSizeSettings(r, r);
        EXPECT_EQ(gMetadata, saved);
    }
}

TEST(QtSettingsStore, RoundTripInTheUsersConfigFolder) {
    const std::string root = std::filesystem::temp_directory_path() / "pictorra-settings-test";
    std::filesystem::remove_all(root);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    EXPECT_EQ(QtSettingsStore().GetSetting("Pictorra", "Sizes", "Size1", "260"), "260");
    QtSettingsStore().SaveSetting("Pictorra", "Sizes", "CropSmDim", " 5");
    EXPECT_EQ(QtSettingsStore().GetSetting("Pictorra", "Sizes", "CropSmDim", ""), " 5");
    EXPECT_TRUE(std::filesystem::exists(root + "/Pictorra/Pictorra.ini"));
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace pictorra::shell
