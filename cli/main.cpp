// t2tk-convert: converts Tolvin presets into a MIDI file for the Thumpkrate.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/cli_options.h"
#include "cli/converter_run.h"

#ifdef _WIN32
#include <windows.h>

#include <io.h>
#include <string>
#include <vector>

#include "files/utf16.h"
#endif

namespace {

int Run(int argc, const char* const* argv, bool errIsTerminal)
{
    const int status = t2tk::cli::RunConverter(argc, argv, std::cout, std::cerr, errIsTerminal);
    // Lines that never reached standard output are a failure too, as the GNU
    // tools have it: a script must not take a full disk for success.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::cerr << t2tk::cli::kProgramName << "cannot write standard output: " << std::strerror(errno) << "\n";
        return status == 0 ? 1 : status;
    }
    return status;
}

}  // namespace

#ifdef _WIN32
// The arguments as the system has them, in UTF-16, so that any file name
// arrives whole; inside they are UTF-8, and so is what goes to the console.
int wmain(int argc, wchar_t** wideArgv)
{
    ::SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(t2tk::Utf8(wideArgv[i]));
    }
    std::vector<const char*> argv;
    argv.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    return Run(argc, argv.data(), ::_isatty(2) != 0);
}
#else
#include <unistd.h>

int main(int argc, char** argv)
{
    return Run(argc, argv, ::isatty(2) != 0);
}
#endif
