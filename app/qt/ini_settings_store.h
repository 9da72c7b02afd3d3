#pragma once
// The dialog's settings in an INI file, through QSettings.

#include <QSettings>

#include "app/settings_store.h"

namespace t2tk::app {

// Nothing is reported when the file cannot be written.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(const QString& path);
    int ReadInt(const char* section, const char* key, int defaultValue) override;
    std::string ReadText(const char* section, const char* key) override;
    void WriteInt(const char* section, const char* key, int value) override;
    void WriteText(const char* section, const char* key, const std::string& value) override;
    void Save() override;

private:
    QSettings m_settings;
};

}  // namespace t2tk::app
