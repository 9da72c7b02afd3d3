#pragma once
// The dialog's settings in an INI file: "[t2tk]", then one "key=value" line
// per setting. The file is read once, and only when it is a small regular
// file of the owner it may have; it is written whole through the program's
// own file writer, so that a failed write loses nothing, and a link or an
// owner is treated as a conversion's output would be. A file that holds
// anything but t2tk's section, its keys, comments and blank lines is someone
// else's, neither used nor replaced; keys and comments it does not know stay.

#include <string>
#include <vector>

#include "app/settings_store.h"

namespace t2tk::app {

class IniSettingsStore : public SettingsStore {
public:
    // path: the file (UTF-8); earlier: where an earlier version kept the
    // settings, read for as long as path does not exist.
    explicit IniSettingsStore(std::string path, const std::string& earlier = {});
    int ReadInt(const char* section, const char* key, int defaultValue) override;
    std::string ReadText(const char* section, const char* key) override;
    void WriteInt(const char* section, const char* key, int value) override;
    void WriteText(const char* section, const char* key, const std::string& value) override;
    std::string Save() override;
    std::string SaveProblem() override;

private:
    // The line of key in section, or the end when there is none.
    std::vector<std::string>::iterator Find(const std::string& section, const std::string& key);

    std::string m_path;
    std::vector<std::string> m_lines;
    std::string m_unreadable;  // why the file that is there could not be read
};

}  // namespace t2tk::app
