#pragma once
// Where a conversion's file goes. The core reads the presets and lays the
// file out; writing it is the front end's, which hands in the programs' file
// writer (files/), so that the core needs nothing beyond standard C++ and the
// web page carries no writer at all.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace t2tk {

class ConversionOutput {
public:
    virtual ~ConversionOutput() = default;
    // True when preset, open for reading, is the output: writing would lose it.
    virtual bool IsPreset(std::FILE* preset) const = 0;
    // Writes the file; an empty text, or why not in the writer's own words.
    virtual std::string Write(const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace t2tk
