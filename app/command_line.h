#pragma once
// The file names t2tk is started with.

#include <string>
#include <vector>

namespace t2tk::app {

struct CommandLineNames {
    std::vector<std::string> names;  // at most MaxRequestFiles
    int leftOut = 0;                 // names past the 50th, ignored
};

// Each argument is one name, taken whole: spaces and quotes belong to it, and
// an empty argument is an empty name. The first 50 are kept.
CommandLineNames CommandLineRequest(const std::vector<std::string>& arguments);

}  // namespace t2tk::app
