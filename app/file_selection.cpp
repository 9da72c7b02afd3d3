#include "app/file_selection.h"

#include <algorithm>

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

// Length of the folder part of path: up to its last separator, which stays out,
// except for the root, which keeps it.
std::size_t FolderLength(std::string_view path)
{
    const std::size_t separator = path.find_last_of(kPathSeparators);
    if (separator == std::string_view::npos) {
        return 0;
    }
    return separator == 0 ? 1 : separator;
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

std::string BuildFileSelection(const std::vector<std::string>& paths)
{
    if (paths.size() == 1) {
        return paths.front() + '\0' + '\0';
    }
    // Shorten the first file's folder until every path lies inside it.
    std::string_view folder(paths.front());
    folder = folder.substr(0, FolderLength(folder));
    const auto separates = [](char c) { return std::string_view(kPathSeparators).find(c) != std::string_view::npos; };
    const auto inside = [&folder, &separates](std::string_view path) {
        return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
               (separates(folder.back()) || separates(path[folder.size()]));
    };
    while (!folder.empty() && !std::all_of(paths.begin(), paths.end(), inside)) {
        folder = folder.substr(0, folder.size() > 1 ? FolderLength(folder) : 0);
    }
    std::string result = std::string(folder) + '\0';
    const std::size_t skip = folder.empty() || separates(folder.back()) ? folder.size() : folder.size() + 1;
    for (const std::string& path : paths) {
        result += path.substr(skip) + '\0';
    }
    return result + '\0';
}

}  // namespace t2tk::app
