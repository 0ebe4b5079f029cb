#include "shell/qt_settings_store.h"

#include <QSettings>
#include <QString>

namespace pictorra::shell {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::string QtSettingsStore::GetSetting(const std::string& app, const std::string& section,
                                        const std::string& key, const std::string& fallback) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, Q(app), Q(app));
    settings.beginGroup(Q(section));
    if (!settings.contains(Q(key))) return fallback;
    return settings.value(Q(key)).toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, Q(app), Q(app));
    settings.beginGroup(Q(section));
    settings.setValue(Q(key), Q(value));
}

}  // namespace pictorra::shell
