// Feeds arbitrary text to the dialog's window-free rules and checks what
// callers rely on: at most 50 names, extensions inside their names, slots in
// 0..49, numbers read only from whole integers.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>
#include <algorithm>

#include "app/command_line.h"
#include "app/file_selection.h"
#include "app/output_names.h"
#include "app/program_number.h"
#include "app/settings_rules.h"

namespace {

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace t2tk::app;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The text cut at its NULs: arguments, and absolute paths chosen in a file dialog.
    std::vector<std::string> arguments;
    std::vector<std::string> paths;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        arguments.emplace_back(text.substr(start, end - start));
        paths.push_back("/" + arguments.back());
        start = end + 1;
    }
    const CommandLineNames request = CommandLineRequest(arguments);
    Check(request.names.size() <= static_cast<std::size_t>(t2tk::MaxRequestFiles), "at most 50 command-line names");
    Check(request.names.size() + static_cast<std::size_t>(request.leftOut) == arguments.size(),
          "every argument is a name, kept or left out");

    // A selection of files from anywhere reads back as the files chosen, in order.
    const bool files = std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
        return path.size() > 1 && path.back() != '/' && path.find("//") == std::string::npos;
    });
    if (files && paths.size() <= static_cast<std::size_t>(t2tk::MaxRequestFiles)) {
        const FileSelection chosen = ParseFileSelection(BuildFileSelection(paths));
        Check(chosen.names.size() == paths.size(), "every chosen file is read back");
        for (std::size_t i = 0; i < chosen.names.size(); ++i) {
            std::string joined = chosen.prefix + chosen.names[i];
            if (joined.rfind("//", 0) == 0) {
                joined.erase(0, 1);  // the root's prefix doubles its separator
            }
            Check(joined == paths[i], "a chosen file reads back as itself");
        }
    }

    const FileSelection selection = ParseFileSelection(text);
    Check(!selection.names.empty() && selection.names.size() <= static_cast<std::size_t>(t2tk::MaxRequestFiles),
          "1 to 50 chosen names");
    Check(selection.prefix.empty() || selection.prefix.back() == kPathSeparator, "prefix ends in the separator");
    for (const std::string& name : selection.names) {
        Check(name.find('\0') == std::string::npos, "names end at their NUL");
    }

    const std::size_t position = FindExtensionStart(text);
    Check(position <= text.size(), "extension inside the name");
    Check(CommandLineOutputName(text).size() == position + 4, "command-line suggestion fits");
    Check(DroppedOutputName(text).size() == position + 4, "dropped suggestion fits");
    Check(ChosenOutputName(text).size() == (text.size() >= 3 ? text.size() : 3), "chosen suggestion fits");

    if (const auto entry = ReadProgramField(text)) {
        Check(entry->slot >= 0 && entry->slot <= 49, "typed slot in 0..49");
    }
    const int stored = ParseSettingInt(text, -12345);
    Check(ProgramSlotFromSetting(stored) >= 0 && ProgramSlotFromSetting(stored) <= 49, "stored slot in 0..49");
    Check(SlotFromSliderPosition(stored) >= 0 && SlotFromSliderPosition(stored) <= 49, "slider slot in 0..49");
    return 0;
}
