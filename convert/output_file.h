#pragma once
// Writing an output file so that nothing is lost when writing fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "convert/conversion_report.h"

namespace t2tk {

// Writes size bytes to path. A regular file (or a new one) is written to a
// temporary file beside it and renamed over it once complete, so an existing
// output is replaced whole on success and left untouched on failure, and no
// temporary file stays behind. Devices and pipes are written in place.
// Returns 0, or -1 with the reason in report.
int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report);

// Tells whether a file that was opened is the output, also through links and
// other names: the conversion must never overwrite a preset with its own output.
class OutputIdentity {
public:
    explicit OutputIdentity(const char* outputPath);
    // True when file, opened from path, is the output.
    bool Matches(const char* path, std::FILE* file) const;

private:
    bool m_exists = false;
#ifdef _WIN32
    const char* m_outputPath;
#else
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
#endif
};

}  // namespace t2tk
