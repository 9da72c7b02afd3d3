#include "app/ini_settings_store.h"

#include <algorithm>

#include "app/settings_rules.h"
#include "convert/conversion_request.h"
#include "files/own_file.h"

namespace t2tk::app {

namespace {

// The file holds a few numbers and a port name; anything larger is no file of ours.
constexpr std::size_t kMostSettingsBytes = 64 * 1024;

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsSection(std::string_view line)
{
    line = Trimmed(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path, const std::string& earlier) : m_path(std::move(path))
{
    OwnFile file = ReadOwnFile(m_path, kMostSettingsBytes);
    if (!file.found && file.problem.empty() && !earlier.empty()) {
        file = ReadOwnFile(earlier, kMostSettingsBytes);
        file.problem.clear();  // the earlier file is only ever read
    }
    m_unreadable = file.problem;
    std::string_view text = file.contents;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        m_lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

std::vector<std::string>::iterator IniSettingsStore::Find(const std::string& section, const std::string& key)
{
    bool inside = false;
    for (auto line = m_lines.begin(); line != m_lines.end(); ++line) {
        if (IsSection(*line)) {
            inside = Trimmed(*line) == "[" + section + "]";
        } else if (inside) {
            const std::size_t equals = line->find('=');
            if (equals != std::string::npos && Trimmed(std::string_view(*line).substr(0, equals)) == key) {
                return line;
            }
        }
    }
    return m_lines.end();
}

int IniSettingsStore::ReadInt(const char* section, const char* key, int defaultValue)
{
    return ParseSettingInt(ReadText(section, key), defaultValue);
}

std::string IniSettingsStore::ReadText(const char* section, const char* key)
{
    const auto line = Find(section, key);
    if (line == m_lines.end()) {
        return {};
    }
    std::string_view value = Trimmed(std::string_view(*line).substr(line->find('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);  // as other INI writers quote a value with blanks
    }
    return std::string(value);
}

void IniSettingsStore::WriteInt(const char* section, const char* key, int value)
{
    WriteText(section, key, std::to_string(value));
}

void IniSettingsStore::WriteText(const char* section, const char* key, const std::string& value)
{
    const std::string line = std::string(key) + "=" + value;
    if (const auto found = Find(section, key); found != m_lines.end()) {
        *found = line;
        return;
    }
    // At the end of its section, or in a new section at the end of the file.
    const std::string header = "[" + std::string(section) + "]";
    auto at = std::find_if(m_lines.begin(), m_lines.end(), [&header](const std::string& l) { return Trimmed(l) == header; });
    if (at == m_lines.end()) {
        m_lines.push_back(header);
        m_lines.push_back(line);
        return;
    }
    at = std::find_if(at + 1, m_lines.end(), [](const std::string& l) { return IsSection(l); });
    while (at != m_lines.begin() && Trimmed(*(at - 1)).empty()) {
        --at;
    }
    m_lines.insert(at, line);
}

std::string IniSettingsStore::Save()
{
    if (!m_unreadable.empty()) {
        return m_unreadable;  // left as it is: it may be something of value
    }
    std::string text;
    for (const std::string& line : m_lines) {
        text += line + "\n";
    }
    // A file the next start would refuse to read is never written.
    if (text.size() > kMostSettingsBytes) {
        return "\"" + Printable(m_path) + "\" would grow past " + std::to_string(kMostSettingsBytes) +
               " bytes, more than a settings file holds; it is left as it was";
    }
    return WriteOwnFile(m_path, text);
}

std::string IniSettingsStore::SaveProblem()
{
    return !m_unreadable.empty() ? m_unreadable : CheckOwnFile(m_path);
}

}  // namespace t2tk::app
