#pragma once
// The three settings the dialog keeps between runs, and how stored text is read.

#include <optional>
#include <string>
#include <string_view>

namespace t2tk::app {

inline constexpr const char* kSettingsSection = "t2tk";
inline constexpr const char* kProgramKey = "Program";
inline constexpr const char* kSamePathKey = "SamePath";
inline constexpr const char* kCompatibilityKey = "Compatibility";
inline constexpr const char* kSendPortKey = "SendPort";

// A stored value: an optionally signed decimal integer that fits an int.
// Anything else (missing, garbage, too large) gives defaultValue.
int ParseSettingInt(std::string_view text, int defaultValue);

// A stored program slot outside 0..49 becomes 0, not 49.
int ProgramSlotFromSetting(int stored);

// Where the settings file lives: configHome if set ($XDG_CONFIG_HOME, and only
// when it is an absolute path), else
// .config in home ($HOME), else in accountHome (the password database's); the
// file is named after the executable, with ".ini". Nothing when all are empty:
// then there is no place for settings.
std::optional<std::string> SettingsFilePath(std::string_view configHome, std::string_view home,
                                            std::string_view accountHome, std::string_view executableName);

}  // namespace t2tk::app
