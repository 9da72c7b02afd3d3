#pragma once
// How a conversion request suggests the name of the MIDI file it writes.

#include <cstddef>
#include <string>
#include <string_view>

#include "convert/conversion_request.h"  // MaxRequestFiles, DefaultOutputName

namespace t2tk::app {

// Where an output extension goes: the last "." at position 3 or later (a dot in
// a folder name counts too); without one, position 2, or the end of a name of
// two characters or less.
std::size_t FindExtensionStart(std::string_view name);

// One name from the command line: ".MID" at the extension when the character
// before it sorts below "Z" as a signed byte (upper case, digits), else ".mid".
std::string CommandLineOutputName(std::string_view name);

// One dropped file: ".mid" at the extension.
std::string DroppedOutputName(std::string_view path);

// One file chosen with Convert...: its last three characters become "mid".
std::string ChosenOutputName(std::string_view path);

// Several files chosen with Convert...: DefaultOutputName in their folder.
std::string ChosenFolderOutputName(std::string_view prefix);

// A suggestion as a save dialog takes it: the folder to open in and the name
// to offer there, so that a path of any length keeps both.
struct SuggestedPlace {
    std::string folder;  // empty: the dialog's own choice
    std::string name;
};
SuggestedPlace SplitSuggestion(std::string_view path);

}  // namespace t2tk::app
