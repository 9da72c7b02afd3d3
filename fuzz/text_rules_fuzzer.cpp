// Feeds arbitrary text to the dialog's window-free rules and checks what
// callers rely on: at most 50 names, extensions inside their names, slots in
// 0..49, numbers read only from whole integers.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

    const CommandLineNames split = SplitCommandLine(text);
    Check(split.names.size() <= static_cast<std::size_t>(MaxRequestFiles), "at most 50 command-line names");
    Check(split.leftOut == 0 || split.names.size() == static_cast<std::size_t>(MaxRequestFiles),
          "names left out only after 50");
    std::size_t spaces = 0;
    for (const char c : text) {
        spaces += c == ' ' ? 1 : 0;
    }
    Check(text.empty() || split.names.size() + static_cast<std::size_t>(split.leftOut) == spaces + 1,
          "every space separates two names");

    const FileSelection selection = ParseFileSelection(text);
    Check(!selection.names.empty() && selection.names.size() <= static_cast<std::size_t>(MaxRequestFiles),
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
