#include "app/settings_rules.h"

#include <charconv>
#include <string>

#include "convert/conversion_request.h"

namespace t2tk::app {

int ParseSettingInt(std::string_view text, int defaultValue)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return defaultValue;
    }
    return value;
}

int ProgramSlotFromSetting(int stored)
{
    return stored < kFirstSlot || stored > kLastSlot ? 0 : stored;
}

std::optional<std::string> SettingsFilePath(std::string_view configHome, std::string_view home,
                                            std::string_view accountHome, std::string_view executableName)
{
    // A relative $XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    if (!configHome.empty() && configHome.front() != '/') {
        configHome = {};
    }
    const std::string_view someHome = home.empty() ? accountHome : home;
    if (configHome.empty() && someHome.empty()) {
        return std::nullopt;
    }
    const std::string folder = configHome.empty() ? std::string(someHome) + "/.config" : std::string(configHome);
    return folder + "/" + std::string(executableName) + ".ini";
}

}  // namespace t2tk::app
