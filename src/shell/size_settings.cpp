#include "shell/size_settings.h"

#include "shell/numeric.h"
#include "shell/shared_values.h"

namespace pictorra::shell {
namespace {

constexpr const char* kPresetKeys[3] = {"Size1", "Size2", "Size3"};
constexpr int32_t kPresetDefaults[3] = {kDefaultSize1, kDefaultSize2, kDefaultSize3};
constexpr int32_t kMinPreset = 20;
constexpr int32_t kMaxPreset = 2000;

int32_t& Preset(int index) {
    if (index == 0) return gSize1;
    if (index == 1) return gSize2;
    return gSize3;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void ShowPreset(SizeSettingsView& view, int index) {
    const int32_t value = Preset(index);
    view.SetPresetLabel(index, PresetLabel(value));
    view.SetPresetTip(index, PresetTip(index, value));
}

// The custom ratio is taken only when both texts are there and numeric.
bool TakeCustomRatio(const std::string& sm, const std::string& lg) {
    const auto small = WholeNumber(sm);
    const auto large = WholeNumber(lg);
    if (sm.empty() || lg.empty() || !small || !large) return false;
    gCropSmDim = *small;
    gCropLgDim = *large;
    return true;
}

}  // namespace

std::string PresetLabel(int value) { return std::to_string(value) + "px"; }

std::string PresetTip(int index, int value) {
    static constexpr const char* kPhrases[3] = {"Good for email. Largest dimension - ",
                                                "Good for viewing. Largest dimension - ",
                                                "Fits Desktop. Largest dimension - "};
    return kPhrases[index] + std::to_string(value) + " pixels.";
}

void LoadSizeSettings(SettingsStore& store, SizeSettingsView& view) {
    for (int i = 0; i < 3; ++i) {
        Preset(i) = kPresetDefaults[i];
        const std::string stored = store.GetSetting(kSettingsApp, kSettingsSection, kPresetKeys[i],
                                                    std::to_string(kPresetDefaults[i]));
        if (const auto n = WholeNumber(stored); n && *n >= kMinPreset && *n <= kMaxPreset)
            Preset(i) = *n;
        ShowPreset(view, i);
        view.SetDialogField(i, std::to_string(Preset(i)));
    }
    const std::string word = store.GetSetting(kSettingsApp, kSettingsSection, kMetadataKey, "");
    gMetadata = image::ParseMetadataChoice(word).value_or(image::kDefaultMetadataChoice);
    view.SetMetadataChoice(gMetadata);
    const std::string sm = store.GetSetting(kSettingsApp, kSettingsSection, "CropSmDim", "");
    const std::string lg = store.GetSetting(kSettingsApp, kSettingsSection, "CropLgDim", "");
    if (TakeCustomRatio(sm, lg)) {
        view.SetCustomRatioCaption(sm + " x " + lg);
        view.SetDialogField(3, sm);
        view.SetDialogField(4, lg);
    }
}

void SaveSizeSettings(SettingsStore& store, SizeSettingsView& view,
                      const std::array<std::string, 5>& fields, image::MetadataChoice metadata) {
    gMetadata = metadata;
    view.SetMetadataChoice(metadata);
    store.SaveSetting(kSettingsApp, kSettingsSection, kMetadataKey,
                      std::string(image::MetadataChoiceWord(metadata)));
    for (int i = 0; i < 3; ++i) {
        // No range check here: any number takes effect for this run; the next start ignores
        // a stored value outside the preset range.
        const auto n = WholeNumber(Trim(fields[size_t(i)]));
        if (!n) continue;
        Preset(i) = *n;
        ShowPreset(view, i);
        store.SaveSetting(kSettingsApp, kSettingsSection, kPresetKeys[i], std::to_string(*n));
    }
    const std::string& sm = fields[3];
    const std::string& lg = fields[4];
    if (!TakeCustomRatio(sm, lg)) return;
    view.SetCustomRatioCaption(sm + " x " + lg);
    store.SaveSetting(kSettingsApp, kSettingsSection, "CropSmDim", sm);
    store.SaveSetting(kSettingsApp, kSettingsSection, "CropLgDim", lg);
    view.EnableCustomRatioIfRatiosEnabled();
}

}  // namespace pictorra::shell
