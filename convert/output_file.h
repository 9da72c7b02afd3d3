#pragma once
// Writing an output file so that nothing is lost when writing fails.

#include <cstddef>
#include <cstdint>

#include "convert/conversion_report.h"

namespace t2tk {

// Writes size bytes to path. A regular file (or a new one) is written to a
// temporary file beside it and renamed over it once complete, so an existing
// output is replaced whole on success and left untouched on failure, and no
// temporary file stays behind. Devices and pipes are written in place.
// Returns 0, or -1 with the reason in report.
int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report);

// True when both paths name one existing file, also through links.
bool IsSameFile(const char* first, const char* second);

}  // namespace t2tk
