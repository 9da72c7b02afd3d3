// t2tk-convert: converts Tolvin presets into a MIDI file for the Thumpkrate.
#include <iostream>

#include "cli/converter_run.h"

int main(int argc, char** argv)
{
    return t2tk::cli::RunConverter(argc, argv, std::cout, std::cerr);
}
