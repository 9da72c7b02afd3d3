// t2tk-convert: converts Tolvin presets into a MIDI file for the Thumpkrate.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/converter_run.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

int main(int argc, char** argv)
{
    const int status = t2tk::cli::RunConverter(argc, argv, std::cout, std::cerr, isatty(2) != 0);
    // Lines that never reached standard output are a failure too, as the GNU
    // tools have it: a script must not take a full disk for success.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::cerr << "t2tk-convert: cannot write standard output: " << std::strerror(errno) << "\n";
        return status == 0 ? 1 : status;
    }
    return status;
}
