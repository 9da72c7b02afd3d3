#pragma once
// The front ends' one way into the conversion: a request of names and options
// in, what happened out. The core's fixed buffers and C-style lists stay
// behind it.

#include <cstdint>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_report.h"
#include "convert/printable.h"
#include "convert/program_slots.h"

namespace t2tk {

// The most presets one request converts, on every road; further files are left out.
inline constexpr int MaxRequestFiles = 50;
// The output suggested whenever several presets are converted.
inline constexpr const char* DefaultOutputName = "Thumpkrate.mid";

enum class OutputFormat {
    Midi,   // a Standard MIDI File that a sequencer plays into the module
    SysEx,  // the raw messages back to back, for librarians
};

struct ConversionRequest {
    std::string prefix;              // empty, or a folder ending in its separator
    std::vector<std::string> names;  // opened as prefix + name, in this order
    std::string output;              // the file to write; none when empty
    bool keepMessages = false;       // a copy of the messages in the result, for a sender
    bool compatibility = false;      // the module's compatibility mode in every program
    int firstSlot = 0;               // slot of the first preset; each further one takes the next
    OutputFormat format = OutputFormat::Midi;
    // Presets read already (a pipe can be read only once): empty, or one
    // entry per name; those with bytes are converted from them.
    std::vector<std::optional<std::vector<std::uint8_t>>> readAlready;
};

struct ConversionResult {
    bool written = false;                // converted, and the file written when one was asked for
    std::string failure;                 // why nothing was written, e.g. cannot open preset "kick.fxp": ...
    std::vector<PresetSummary> presets;  // what was read of each preset, in order
    std::vector<std::uint8_t> messages;  // the messages, back to back, when asked for
    std::vector<std::string> warnings;   // what the writer said although it wrote
};

class ConversionOutput;

// Converts as asked. The "initreq" and "storereq N" lines go to progress. A
// request with an output needs the writer for it (the programs' is
// ConvertAndWrite, files/file_conversion.h); one without gives the messages only.
ConversionResult ConvertPresets(const ConversionRequest& request, std::ostream& progress = std::cout,
                                ConversionOutput* output = nullptr);

// The names as the core takes them: pointers to each, then a null entry. The
// list points into names, which must outlive it.
class NameList {
public:
    explicit NameList(const std::vector<std::string>& names);
    const char* const* data() const { return m_pointers.data(); }

private:
    std::vector<const char*> m_pointers;
};

// The output t2tk-convert writes without -o: for one preset, its path with the
// file name's extension, if any, replaced by .mid; for several,
// DefaultOutputName in the current folder.
std::string OutputPathFor(const std::vector<std::string>& presets);

// The MIDI file that carries messages, laid out in memory.
std::vector<std::uint8_t> MidiFileOf(std::span<const std::uint8_t> messages);

// What every front end says of a preset read from a file called name: one
// warning for each thing the module will not get as the file has it, each
// naming the file and the program, e.g. 'warning: "kit.fxp" (program 3) is
// not a complete Tolvin preset (4000 of 8600 bytes, 2136 of 2136
// parameters); converted as it is', 'warning: "kit.fxp" (program 3): the
// module shows its name "My Very Long Electro Kit" as "My Very Long Ele" (cut
// to 16 characters)', or parameters outside 0 to 1 and where; none for a
// complete preset the module takes as it is.
std::vector<std::string> PresetWarnings(std::string_view name, const PresetSummary& preset);

// What the module will not get as the file has it, in a few words each, for
// a listing: "not a complete preset", "name cut to 16 characters", "3
// parameters outside 0 to 1"; none when it takes the preset as it is.
std::vector<std::string> PresetChanges(const PresetSummary& preset);

// The same, short, for a status line that has room for one note a preset:
// what the conversion changed (its name, parameters out of range), e.g.
// 'program 3 shows its name as "My Very Long Ele"', or how many changes;
// empty when it changed nothing. Whether the preset is complete is not said.
std::string PresetChangeNote(const PresetSummary& preset);

// How many of the files are not complete presets, e.g. "2 of 5 files are not
// complete Tolvin presets".
std::string IncompleteCount(int incomplete, int files);

// The warning when presets from firstProgram on (1..50) would pass program 50,
// where they all go; empty when they do not.
std::string ProgramOverflowWarning(int firstProgram, int presets);

}  // namespace t2tk
