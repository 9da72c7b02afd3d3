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

std::string HelpText()
{
    return "Usage: t2tk-convert [OPTION]... PRESET...\n"
           "  or:  t2tk-convert --send PORT [--wait] SAVED.mid|SAVED.syx...\n"
           "  or:  t2tk-convert --list [--porcelain] [-p N] FILE...\n"
           "  or:  t2tk-convert --list-ports\n"
           "Convert Tolvin FXP drum presets into one MIDI file of Thumpkrate SysEx messages,\n"
           "or send them to the module through a MIDI port.\n"
           "\n"
           "  -p, --program N        first program number, 1 to 50 in decimal digits\n"
           "                           (default 1); further presets go to the following\n"
           "                           programs, and any past 50 all go to program 50\n"
           "  -c, --compatibility    set the module's compatibility mode in every program\n"
           "  -o, --output FILE      the file to write; a name ending in .syx gets the raw\n"
           "                           messages, - is standard output (default: the\n"
           "                           preset's name with .mid, or Thumpkrate.mid for\n"
           "                           several presets)\n"
           "      --send PORT        send to a MIDI output port on the module's schedule:\n"
           "                           the presets (a file is written only with -o), or a\n"
           "                           MIDI or .syx file t2tk wrote; PORT is its number in\n"
           "                           --list-ports, its whole name, or part of its name\n"
           "      --wait             with --send: while another t2tk sends to the port,\n"
           "                           wait for it instead of failing\n"
           "      --send-incomplete  with --send: send files that are not complete Tolvin\n"
           "                           presets too (sending overwrites programs)\n"
           "      --list             list the programs the presets or saved files would\n"
           "                           overwrite: number, name as the module shows it,\n"
           "                           file, and what the module will not get as the\n"
           "                           file has it; nothing is written or sent\n"
           "      --porcelain        with --list: tab-separated under a header line\n"
           "      --list-ports       list the MIDI output ports: number, then name\n"
           "  -h, --help             display this help and exit\n"
           "      --version          output version information and exit\n"
           "\n"
           "Examples:\n"
           "  t2tk-convert -p 5 -o kits.mid rock.fxp jazz.fxp\n"
           "  t2tk-convert --list kits.mid\n"
           "  t2tk-convert --send thump -p 5 rock.fxp jazz.fxp\n"
           "\n"
           "Exit status: 0 done, 1 the conversion or the send failed, 2 a usage error,\n"
           "128 plus a signal's number for a send that signal stopped.\n";
}

std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out,
                                std::ostream& err)
{
    CLI::App app{"", "t2tk-convert"};
    app.allow_windows_style_options(false);  // "/kits/rock.fxp" is a preset on every system
    app.set_help_flag();  // the help is ours, as GNU tools write theirs
    bool help = false;
    app.add_flag("-h,--help", help);
    app.set_version_flag("--version", "t2tk-convert " T2TK_VERSION);
    std::string program = "1";
    auto* programOption = app.add_option("-p,--program", program)->check(CLI::Validator(CheckProgram, ""));
    app.add_flag("-c,--compatibility", options.compatibility);
    auto* outputOption = app.add_option("-o,--output", options.output)->check(CLI::Validator(CheckNotEmpty, ""));
    app.add_option("--send", options.sendPort)->check(CLI::Validator(CheckNotEmpty, ""));
    app.add_flag("--wait", options.waitForPort);
    app.add_flag("--send-incomplete", options.sendIncomplete);
    app.add_flag("--list", options.list);
    app.add_flag("--porcelain", options.porcelain);
    app.add_option("presets", options.presets);
    app.add_flag("--list-ports", options.listPorts);

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
    const auto usage = [&err](const std::string& what) {
        err << kProgramName << what << "\nRun 't2tk-convert --help' for more information.\n";
        return kExitUsage;
    };
    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::Success& success) {
        return app.exit(success, out, err);
    } catch (const CLI::ParseError& error) {
        return usage(error.what());
    }
    if (help) {
        out << HelpText();
        return kExitConverted;
    }
    std::from_chars(program.data(), program.data() + program.size(), options.program);
    options.programGiven = programOption->count() > 0;
    const bool sending = !options.sendPort.empty();
    if (options.listPorts) {
        const bool alone = !options.programGiven && !options.compatibility && outputOption->count() == 0 && !sending &&
                           !options.waitForPort && !options.sendIncomplete && !options.list && !options.porcelain &&
                           options.presets.empty();
        return alone ? std::nullopt : std::optional<int>(usage("--list-ports takes no other option and no file"));
    }
    if ((options.waitForPort || options.sendIncomplete) && !sending) {
        return usage(std::string(options.waitForPort ? "--wait" : "--send-incomplete") + " is for --send");
    }
    if (options.porcelain && !options.list) {
        return usage("--porcelain is for --list");
    }
    if (options.list && (sending || outputOption->count() > 0)) {
        return usage("--list writes nothing and sends nothing: it takes no -o or --send");
    }
    const auto count = options.presets.size();
    if (count == 0 || count > static_cast<std::size_t>(MaxRequestFiles)) {
        return usage((count == 0 ? std::string("no preset given") : std::to_string(count) + " presets given") +
                     "; one conversion takes 1 to " + std::to_string(MaxRequestFiles) + " presets");
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
