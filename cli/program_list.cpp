#include "cli/program_list.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "convert/conversion_request.h"
#include "convert/message_layout.h"
#include "convert/message_schedule.h"
#include "convert/saved_messages.h"
#include "files/file_conversion.h"

namespace t2tk::cli {

namespace {

struct Listed {
    int program;       // 1..50
    std::string name;  // as the module shows it
    std::string file;
    bool whole;        // a complete preset, or a whole preset in a saved file
    std::vector<std::string> changes;
};

// A file's bytes, whole: one that is too large to be a saved file is read
// only as far as tells that.
std::optional<std::vector<std::uint8_t>> ReadWhole(const std::string& name)
{
    std::ifstream file(SystemPath(name), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(kLargestSavedFile + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) {  // a folder, say: the conversion reads it again and says why
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

std::string Joined(const std::vector<std::string>& parts, const char* between)
{
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : between) + part;
    }
    return text;
}

}  // namespace

int ListRun(const Options& options, std::ostream& out, std::ostream& err)
{
    std::vector<Listed> listed;
    ConversionRequest presets;
    presets.firstSlot = options.program - 1;
    presets.compatibility = options.compatibility;
    for (const std::string& name : options.presets) {
        std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(name);
        if (bytes && KindOfFile(*bytes) != FileKind::Preset) {
            // A saved file's programs and names, read back from its messages,
            // which checks it on the way.
            const SavedMessages saved = bytes->size() > kLargestSavedFile
                                            ? SavedMessages{{}, "it holds more than " + std::to_string(kLargestSavedFile) +
                                                                    " bytes, more than any file t2tk writes"}
                                            : ReadSavedMessages(*bytes);
            if (!saved.failure.empty()) {
                err << kProgramName << "cannot list \"" << Printable(name) << "\": " << saved.failure << "\n";
                return kExitFailed;
            }
            const SendSchedule schedule(saved.messages);
            for (const SendStep& step : schedule.steps()) {
                if (IsProgramDump(step.message.bytes, step.message.length)) {
                    listed.push_back({step.program, step.name, name, true, {}});
                }
            }
            continue;
        }
        // A file that cannot be read is left to the conversion, which says why.
        presets.names.push_back(name);
        presets.readAlready.push_back(std::move(bytes));
    }
    if (!presets.names.empty()) {
        std::ostream silent(nullptr);
        const ConversionResult result = ConvertPresets(presets, silent);
        if (!result.written) {
            err << kProgramName << result.failure << "\n";
            return kExitFailed;
        }
        for (std::size_t i = 0; i < result.presets.size(); ++i) {
            const PresetSummary& preset = result.presets[i];
            listed.push_back({preset.slot + 1, preset.shown, presets.names[i], IsCompletePreset(preset),
                              PresetChanges(preset)});
        }
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.program < b.program; });
    if (options.porcelain) {
        out << "program\tname\tfile\twhole\tchanges\n";
        for (const Listed& line : listed) {
            out << line.program << '\t' << Printable(line.name) << '\t' << Printable(line.file) << '\t'
                << (line.whole ? "yes" : "no") << '\t' << Printable(Joined(line.changes, "; ")) << '\n';
        }
        return kExitConverted;
    }
    for (const Listed& line : listed) {
        std::string name = Printable(line.name);
        name.resize(std::max<std::size_t>(name.size(), 16), ' ');
        out << (line.program < 10 ? " " : "") << line.program << "  " << name << "  " << Printable(line.file);
        if (!line.changes.empty()) {
            out << "  (" << Joined(line.changes, "; ") << ")";
        }
        out << '\n';
    }
    return kExitConverted;
}

}  // namespace t2tk::cli
