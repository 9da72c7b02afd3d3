#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <filesystem>

#include "convert/convert.h"

namespace t2tk::cli {

std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out,
                                std::ostream& err)
{
    CLI::App app{"Converts Tolvin FXP drum presets into one MIDI file of Thumpkrate SysEx messages.",
                 "t2tk-convert"};
    app.set_version_flag("--version", "t2tk-convert " T2TK_VERSION);
    app.add_option("-p,--program", options.program, "First program number, 1 to 50 (default 1)")
        ->check(CLI::Range(1, kLastSlot + 1))
        ->type_name("N");
    app.add_flag("-c,--compatibility", options.compatibility, "Set compatibility mode in every program");
    app.add_option("-o,--output", options.output,
                   "MIDI file to write (a .syx name gets the raw messages); default: the preset's name with .mid, "
                   "or Thumpkrate.mid for several presets")
        ->type_name("FILE");
    app.add_option("presets", options.presets, "Preset files, 1 to 50; they go to consecutive programs")
        ->type_name("PRESET");
    app.footer("Example: t2tk-convert -p 5 -o kits.mid rock.fxp jazz.fxp");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) {
        return app.exit(success, out, err);
    } catch (const CLI::ParseError& error) {
        err << "t2tk-convert: " << error.what() << "\nRun 't2tk-convert --help' for more information.\n";
        return kExitUsage;
    }

    const auto count = options.presets.size();
    if (count == 0 || count > static_cast<std::size_t>(MaxRequestFiles)) {
        err << "t2tk-convert: " << (count == 0 ? "no preset given" : std::to_string(count) + " presets given")
            << "; one conversion takes 1 to " << MaxRequestFiles << " presets\n"
            << "Run 't2tk-convert --help' for more information.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

std::string DefaultOutputPath(const std::vector<std::string>& presets)
{
    if (presets.size() != 1) {
        return DefaultOutputName;
    }
    return std::filesystem::path(presets.front()).replace_extension(".mid").string();
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
