#pragma once
// The command line of t2tk-convert and the output name it implies.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace t2tk::cli {

// What every message of t2tk-convert begins with.
inline constexpr const char* kProgramName = "t2tk-convert: ";

inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Options {
    int program = 1;  // as users count, 1..50
    bool programGiven = false;
    bool compatibility = false;
    std::string output;  // empty: derived from the presets, or none when sending
    std::vector<std::string> presets;
    bool listPorts = false;
    std::string sendPort;  // the MIDI port to send to; empty: none
    bool waitForPort = false;  // wait while another t2tk sends to the port, instead of failing
    bool sendIncomplete = false;  // send files that are not complete presets too
    bool list = false;       // list the programs the files would overwrite, nothing written or sent
    bool porcelain = false;  // that list tab-separated, for scripts
};

// The help, as --help shows it.
std::string HelpText();

// Fills options from the arguments. Returns the exit status when the program
// should end here: 0 after --help or --version, 2 after a usage error (which
// goes to err with a hint at --help).
std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out,
                                std::ostream& err);

// An output named *.syx (any case) gets the raw messages instead of a MIDI file.
bool IsSysExPath(std::string_view path);

}  // namespace t2tk::cli
