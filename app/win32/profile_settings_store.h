#pragma once
// The dialog's settings in an INI file through the system's profile functions.

#include <memory>
#include <string>

#include "app/settings_store.h"

namespace t2tk::app {

class ProfileSettingsStore : public SettingsStore {
public:
    // path: the INI file; earlier: where the settings lay before, read for as
    // long as path does not exist.
    explicit ProfileSettingsStore(std::wstring path, std::wstring earlier = {});
    int ReadInt(const char* section, const char* key, int defaultValue) override;
    std::string ReadText(const char* section, const char* key) override;
    void WriteInt(const char* section, const char* key, int value) override;
    void WriteText(const char* section, const char* key, const std::string& value) override;
    void Save() override;

private:
    std::wstring m_path;
    std::wstring m_earlier;
};

// t2tk.ini in the user's application data folder. The platform's place for a
// bare profile name, the Windows folder, is closed to ordinary users, so
// settings kept there are only read, once, when the new file is not there yet.
std::unique_ptr<SettingsStore> OpenUserSettings();

}  // namespace t2tk::app
