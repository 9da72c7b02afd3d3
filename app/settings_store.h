#pragma once
// Where the dialog's settings live: integers by section and key.

#include <QSettings>

namespace t2tk::app {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or defaultValue when it is missing or not a whole number.
    virtual int ReadInt(const char* section, const char* key, int defaultValue) = 0;
    virtual void WriteInt(const char* section, const char* key, int value) = 0;
};

// The settings in an INI file. Nothing is reported when it cannot be written.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(const QString& path);
    int ReadInt(const char* section, const char* key, int defaultValue) override;
    void WriteInt(const char* section, const char* key, int value) override;

private:
    QSettings m_settings;
};

}  // namespace t2tk::app
