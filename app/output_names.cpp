#include "app/output_names.h"

namespace t2tk::app {

namespace {

std::string WithExtension(std::string_view name, const char* extension)
{
    return std::string(name.substr(0, FindExtensionStart(name))) + extension;
}

}  // namespace

std::size_t FindExtensionStart(std::string_view name)
{
    for (std::size_t position = name.size(); position >= 3; --position) {
        if (position < name.size() && name[position] == '.') {
            return position;
        }
    }
    return name.size() > 2 ? 2 : name.size();
}

std::string CommandLineOutputName(std::string_view name)
{
    const std::size_t position = FindExtensionStart(name);
    const auto before = static_cast<signed char>(position > 0 ? name[position - 1] : '\0');
    return WithExtension(name, before < 'Z' ? ".MID" : ".mid");
}

std::string DroppedOutputName(std::string_view path)
{
    return WithExtension(path, ".mid");
}

std::string ChosenOutputName(std::string_view path)
{
    return std::string(path.substr(0, path.size() >= 3 ? path.size() - 3 : 0)) + "mid";
}

std::string ChosenFolderOutputName(std::string_view prefix)
{
    return std::string(prefix) + DefaultOutputName;
}

SuggestedPlace SplitSuggestion(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos) {
        return {{}, std::string(path)};
    }
    return {std::string(path.substr(0, separator == 0 || path[separator - 1] == ':' ? separator + 1 : separator)),
            std::string(path.substr(separator + 1))};
}

}  // namespace t2tk::app
