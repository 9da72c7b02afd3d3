#include "app/file_selection.h"

#include "app/output_names.h"

namespace t2tk::app {

namespace {

// The text from position up to the next NUL or the end.
std::string_view TextAt(std::string_view result, std::size_t position)
{
    if (position >= result.size()) {
        return {};
    }
    const std::string_view rest = result.substr(position);
    return rest.substr(0, rest.find('\0'));
}

}  // namespace

FileSelection ParseFileSelection(std::string_view result)
{
    FileSelection selection;
    const std::string_view first = TextAt(result, 0);
    std::size_t position = first.size() + 1;
    if (TextAt(result, position).empty()) {
        selection.names.emplace_back(first);
        selection.suggestion = ChosenOutputName(first);
        return selection;
    }
    // The separator goes on even after a folder that ends in one: "/" gives "//".
    selection.prefix = std::string(first) + kPathSeparator;
    selection.suggestion = ChosenFolderOutputName(selection.prefix);
    for (std::string_view name = TextAt(result, position); !name.empty(); name = TextAt(result, position)) {
        if (selection.names.size() < static_cast<std::size_t>(MaxRequestFiles)) {
            selection.names.emplace_back(name);
        } else {
            ++selection.leftOut;
        }
        position += name.size() + 1;
    }
    return selection;
}

}  // namespace t2tk::app
