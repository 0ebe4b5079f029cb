#pragma once
// The five numbers kept between runs: the three resize presets and the custom crop ratio.
// They live in a per-user store of text values (application "Pictorra", section "Sizes") and
// are read once at start-up into the shared values; the settings dialog saves them.

#include <array>
#include <string>

namespace pictorra::shell {

inline constexpr const char* kSettingsApp = "Pictorra";
inline constexpr const char* kSettingsSection = "Sizes";

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
// caption, and the settings dialog's five fields. Every method may be left as a no-op.
class SizeSettingsView {
public:
    virtual ~SizeSettingsView() = default;
    virtual void SetPresetLabel(int /*index*/, const std::string& /*text*/) {}
    virtual void SetPresetTip(int /*index*/, const std::string& /*text*/) {}
    virtual void SetDialogField(int /*index*/, const std::string& /*text*/) {}
    virtual void SetCustomRatioCaption(const std::string& /*text*/) {}
    // Offer the custom ratio option if the ratio group is in use.
    virtual void EnableCustomRatioIfRatiosEnabled() {}
};

// "260px"
std::string PresetLabel(int value);
// "Good for email. Largest dimension - 260 pixels." and its two siblings.
std::string PresetTip(int index, int value);

// Reads the store into gSize1..3, gCropSmDim, gCropLgDim and shows them.
void LoadSizeSettings(SettingsStore& store, SizeSettingsView& view);

// Takes the settings dialog's five fields (three presets, custom small, custom large) into the
// shared values and the store, and shows them.
void SaveSizeSettings(SettingsStore& store, SizeSettingsView& view,
                      const std::array<std::string, 5>& fields);

}  // namespace pictorra::shell
