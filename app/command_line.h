#pragma once
// The file names t2tk is started with.

#include <string>
#include <string_view>
#include <vector>

namespace t2tk::app {

// The text a command-line request splits: the arguments joined by single spaces.
std::string CommandLineText(const std::vector<std::string>& arguments);

struct CommandLineNames {
    std::vector<std::string> names;  // at most MaxRequestFiles
    int leftOut = 0;                 // names past the 50th, ignored
};

// Splits the text at every space, without quoting: two spaces give an empty
// name, a trailing space an empty last name. The 50th name ends at the next
// space and the rest is ignored. An empty text gives no names.
CommandLineNames SplitCommandLine(std::string_view text);

}  // namespace t2tk::app
