#include "app/win32/profile_settings_store.h"

#include <windows.h>

#include <shlobj.h>

#include "app/settings_rules.h"
#include "convert/utf16.h"

namespace t2tk::app {

namespace {

bool Exists(const std::wstring& path)
{
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

ProfileSettingsStore::ProfileSettingsStore(std::wstring path, std::wstring earlier)
    : m_path(std::move(path)), m_earlier(std::move(earlier))
{
}

// The same rules as everywhere: a value counts only when it is a whole number.
int ProfileSettingsStore::ReadInt(const char* section, const char* key, int defaultValue)
{
    return ParseSettingInt(ReadText(section, key), defaultValue);
}

std::string ProfileSettingsStore::ReadText(const char* section, const char* key)
{
    const std::wstring& source = Exists(m_path) || !Exists(m_earlier) ? m_path : m_earlier;
    wchar_t value[1024] = {};
    ::GetPrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(), L"", value, 1024, source.c_str());
    return Utf8(value);
}

void ProfileSettingsStore::WriteInt(const char* section, const char* key, int value)
{
    WriteText(section, key, std::to_string(value));
}

void ProfileSettingsStore::WriteText(const char* section, const char* key, const std::string& value)
{
    ::WritePrivateProfileStringW(Utf16(section).c_str(), Utf16(key).c_str(), Utf16(value).c_str(), m_path.c_str());
}

void ProfileSettingsStore::Save()
{
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_path.c_str());  // out of the system's cache
}

std::unique_ptr<SettingsStore> OpenUserSettings()
{
    wchar_t appData[MAX_PATH] = {};
    wchar_t windows[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) != S_OK) {
        return std::make_unique<NoSettingsStore>();
    }
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    return std::make_unique<ProfileSettingsStore>(std::wstring(appData) + L"\\t2tk.ini",
                                                  length > 0 ? std::wstring(windows) + L"\\t2tk.ini" : L"");
}

}  // namespace t2tk::app
