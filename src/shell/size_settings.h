#pragma once
// The values kept between runs: the three resize presets, the custom crop ratio and which photo
// information JPG outputs carry. They live in a per-user store of text values (application
// "Pictorra", section "Sizes") and are read once at start-up into the shared values; the
// settings dialog saves them.

#include <array>
#include <string>

#include "image/metadata_choice.h"

namespace pictorra::shell {

inline constexpr const char* kSettingsApp = "Pictorra";
inline constexpr const char* kSettingsSection = "Sizes";
// Its value is one of MetadataChoiceWord's words.
inline constexpr const char* kMetadataKey = "Metadata";

// A per-user store of text values by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string GetSetting(const std::string& app, const std::string& section,
                                   const std::string& key, const std::string& fallback) = 0;
    virtual void SaveSetting(const std::string& app, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

// Where the values are shown: the main window's preset labels, option tips and custom ratio
// caption, and the settings dialog's five fields and information choice. Every method may be
// left as a no-op.
class SizeSettingsView {
public:
    virtual ~SizeSettingsView() = default;
    virtual void SetPresetLabel(int /*index*/, const std::string& /*text*/) {}
    virtual void SetPresetTip(int /*index*/, const std::string& /*text*/) {}
    virtual void SetDialogField(int /*index*/, const std::string& /*text*/) {}
    virtual void SetCustomRatioCaption(const std::string& /*text*/) {}
    virtual void SetMetadataChoice(image::MetadataChoice /*choice*/) {}
    // Offer the custom ratio option if the ratio group is in use.
    virtual void EnableCustomRatioIfRatiosEnabled() {}
};

// "260px"
std::string PresetLabel(int value);
// "Good for email. Largest dimension - 260 pixels." and its two siblings.
std::string PresetTip(int index, int value);

// Reads the store into gSize1..3, gCropSmDim, gCropLgDim and gMetadata and shows them. A
// missing or unknown information choice is the default, no location.
void LoadSizeSettings(SettingsStore& store, SizeSettingsView& view);

// Takes the settings dialog's five fields (three presets, custom small, custom large) and its
// information choice into the shared values and the store, and shows them.
void SaveSizeSettings(SettingsStore& store, SizeSettingsView& view,
                      const std::array<std::string, 5>& fields, image::MetadataChoice metadata);

}  // namespace pictorra::shell
