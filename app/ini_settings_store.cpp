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

// A key as t2tk names one: a capital letter, then letters and digits (keys
// of a later version too).
bool IsKey(std::string_view key)
{
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return !key.empty() && key.front() >= 'A' && key.front() <= 'Z' &&
           std::all_of(key.begin(), key.end(), [&letter](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

// The number of the first line that is none of what t2tk writes or a user
// may add (its section, its keys, comments and blank lines), or 0: a file
// with any such line is someone else's, and neither used nor replaced.
std::size_t ForeignLine(const std::vector<std::string>& lines)
{
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trimmed(lines[i]);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (IsSection(line)) {
            inside = line == "[" + std::string(kSettingsSection) + "]";
            if (!inside) {
                return i + 1;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inside || equals == std::string_view::npos || !IsKey(Trimmed(line.substr(0, equals)))) {
            return i + 1;
        }
    }
    return 0;
}

std::vector<std::string> Lines(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);  // the byte order mark an editor may put first
    }
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path, const std::string& earlier) : m_path(std::move(path))
{
    const OwnFile file = ReadOwnFile(m_path, kMostSettingsBytes);
    m_unreadable = file.problem;
    m_lines = Lines(file.contents);
    if (const std::size_t line = ForeignLine(m_lines); line != 0) {
        m_unreadable = "\"" + Printable(m_path) + "\" is not a t2tk settings file: line " + std::to_string(line) +
                       " is none of its settings";
        m_lines.clear();
    }
    if (!file.found && file.problem.empty() && !earlier.empty()) {
        // The earlier file is only ever read, and only when it is t2tk's.
        m_lines = Lines(ReadOwnFile(earlier, kMostSettingsBytes).contents);
        if (ForeignLine(m_lines) != 0) {
            m_lines.clear();
        }
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
