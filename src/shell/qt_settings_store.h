#pragma once
// The settings store over QSettings: INI format, user scope, one file per application
// ($XDG_CONFIG_HOME/Pictorra/Pictorra.ini), sections as INI groups.

#include "shell/size_settings.h"

namespace pictorra::shell {

class QtSettingsStore final : public SettingsStore {
public:
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& fallback) override;
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override;
};

}  // namespace pictorra::shell
