#pragma once
// The front ends' one way into the conversion: a request of names and options
// in, what happened out. The core's fixed buffers and C-style lists stay
// behind it.

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_report.h"
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
};

// Converts as asked. The "initreq" and "storereq N" lines go to progress.
ConversionResult ConvertPresets(const ConversionRequest& request, std::ostream& progress = std::cout);

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

// What every front end says of a preset that is not a complete one, e.g.
// 'warning: "kit.fxp" is not a complete Tolvin preset (4000 of 8600 bytes,
// 2136 of 2136 parameters); converted as it is'; empty for a complete one.
std::string IncompletePresetWarning(std::string_view name, const PresetSummary& preset);

// How many of the files are not complete presets, e.g. "2 of 5 files are not
// complete Tolvin presets".
std::string IncompleteCount(int incomplete, int files);

// The warning when presets from firstProgram on (1..50) would pass program 50,
// where they all go; empty when they do not.
std::string ProgramOverflowWarning(int firstProgram, int presets);

// Files of the program's own, its settings: written as a conversion's output
// is (a temporary file, flushed and renamed, links and owners looked after),
// but only ever to a regular file, and read only from a regular file of at
// most limit bytes, without waiting on a FIFO.
struct OwnFile {
    bool found = false;     // it exists and was read
    std::string contents;
    std::string problem;    // why it could not be read, when it exists
};
OwnFile ReadOwnFile(const std::string& path, std::size_t limit);
// Returns why the file was not written, or an empty text.
std::string WriteOwnFile(const std::string& path, std::string_view contents);
// Why WriteOwnFile would fail now, as far as can be told, or an empty text.
std::string CheckOwnFile(const std::string& path);

// A path of UTF-8 as the system takes it (UTF-16 on Windows).
std::filesystem::path SystemPath(const std::string& path);

// True when path names the process's standard output: "-", or a name of the
// file it goes to (/dev/stdout, /proc/self/fd/1, or the redirected file itself).
bool IsStandardOutput(const std::string& path);

// A file name fit for a terminal: control characters (C0, DEL and C1) and bytes
// that are no UTF-8 are shown as \xNN, so that a crafted name cannot drive the
// terminal that a message about it lands on.
std::string Printable(std::string_view name);

}  // namespace t2tk
