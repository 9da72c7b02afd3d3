#include "app/command_line.h"

#include "app/output_names.h"

namespace t2tk::app {

std::string CommandLineText(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& argument : arguments) {
        if (&argument != &arguments.front()) {
            text += ' ';
        }
        text += argument;
    }
    return text;
}

CommandLineNames SplitCommandLine(std::string_view text)
{
    CommandLineNames split;
    if (text.empty()) {
        return split;
    }
    for (std::size_t start = 0;;) {
        const std::size_t space = text.find(' ', start);
        if (split.names.size() < static_cast<std::size_t>(MaxRequestFiles)) {
            split.names.emplace_back(text.substr(start, space == std::string_view::npos ? space : space - start));
        } else {
            ++split.leftOut;
        }
        if (space == std::string_view::npos) {
            return split;
        }
        start = space + 1;
    }
}

}  // namespace t2tk::app
