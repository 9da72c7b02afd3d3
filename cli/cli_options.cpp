#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <string_view>
#include <vector>

#include "convert/conversion_request.h"

namespace t2tk::cli {

namespace {

// A program number is decimal digits only: CLI11 would read "010" as octal
// and "0x1f" as hex, and send the preset to another memory than meant.
std::string CheckProgram(const std::string& text)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (!digits || error != std::errc() || end != text.data() + text.size() || number < 1 ||
        number > kLastSlot + 1) {
        return "the program number is 1 to 50, in decimal digits";
    }
    return "";
}

std::string CheckNotEmpty(const std::string& text)
{
    return text.empty() ? "the name is empty" : "";
}

}  // namespace

std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out,
                                std::ostream& err)
{
    CLI::App app{"Converts Tolvin FXP drum presets into one MIDI file of Thumpkrate SysEx messages.",
                 "t2tk-convert"};
    app.allow_windows_style_options(false);  // "/kits/rock.fxp" is a preset on every system
    app.set_version_flag("--version", "t2tk-convert " T2TK_VERSION);
    std::string program = "1";
    auto* programOption = app.add_option("-p,--program", program, "First program number, 1 to 50 (default 1)")
                              ->check(CLI::Validator(CheckProgram, ""))
                              ->type_name("N");
    auto* compatibilityOption =
        app.add_flag("-c,--compatibility", options.compatibility, "Set compatibility mode in every program");
    auto* outputOption =
        app.add_option("-o,--output", options.output,
                       "MIDI file to write (a .syx name gets the raw messages; - is standard output); default: the "
                       "preset's name with .mid, or Thumpkrate.mid for several presets")
            ->check(CLI::Validator(CheckNotEmpty, ""))
            ->type_name("FILE");
    auto* sendOption =
        app.add_option("--send", options.sendPort,
                       "Send to a MIDI output port on the module's schedule: the presets, converted (a file is "
                       "written only with -o), or a MIDI or .syx file t2tk wrote. PORT is its number in "
                       "--list-ports, its whole name, or a part of its name in any case; a port whose name is a "
                       "number is reached by its whole name as the list shows it")
            ->check(CLI::Validator(CheckNotEmpty, ""))
            ->type_name("PORT");
    auto* waitOption = app.add_flag("--wait", options.waitForPort,
                                    "While another t2tk sends to the port, wait for it instead of failing")
                           ->needs(sendOption);
    auto* incompleteOption =
        app.add_flag("--send-incomplete", options.sendIncomplete,
                     "Send files that are not complete Tolvin presets too (without it, --send refuses them, since "
                     "sending overwrites the program in the module)")
            ->needs(sendOption);
    auto* presetsOption =
        app.add_option("presets", options.presets, "Preset files, 1 to 50; they go to consecutive programs")
            ->type_name("PRESET");
    app.add_flag("--list-ports", options.listPorts, "List the MIDI output ports, one per line: number, then name")
        ->excludes(programOption)
        ->excludes(compatibilityOption)
        ->excludes(outputOption)
        ->excludes(sendOption)
        ->excludes(waitOption)
        ->excludes(incompleteOption)
        ->excludes(presetsOption);
    app.footer("Examples:\n  t2tk-convert -p 5 -o kits.mid rock.fxp jazz.fxp\n  t2tk-convert --send thump -p 5 rock.fxp "
               "jazz.fxp\n  t2tk-convert --send thump kits.mid");

    // "/?" asks for the help on Windows, as its users expect (no file there
    // can have that name).
    std::vector<const char*> arguments(argv, argv + argc);
#ifdef _WIN32
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (std::string_view(arguments[i]) == "/?") {
            arguments[i] = "--help";
        }
    }
#endif
    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::Success& success) {
        return app.exit(success, out, err);
    } catch (const CLI::ParseError& error) {
        err << kProgramName << error.what() << "\nRun 't2tk-convert --help' for more information.\n";
        return kExitUsage;
    }
    std::from_chars(program.data(), program.data() + program.size(), options.program);
    options.programGiven = programOption->count() > 0;
    if (options.listPorts) {
        return std::nullopt;
    }

    const auto count = options.presets.size();
    if (count == 0 || count > static_cast<std::size_t>(MaxRequestFiles)) {
        err << kProgramName << (count == 0 ? "no preset given" : std::to_string(count) + " presets given")
            << "; one conversion takes 1 to " << MaxRequestFiles << " presets\n"
            << "Run 't2tk-convert --help' for more information.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

bool IsSysExPath(std::string_view path)
{
    constexpr std::string_view extension = ".syx";
    if (path.size() < extension.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace t2tk::cli
