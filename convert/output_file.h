#pragma once
// Writing an output file so that nothing is lost when writing fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "convert/conversion_report.h"

namespace t2tk {

// Writes size bytes to path.
// - "-", or a name of the file standard output goes to: written to standard
//   output, in place.
// - A regular file, or a new one: written to a temporary file in the same
//   folder, flushed to disk and renamed over it once complete. An existing
//   file is replaced whole on success and left untouched on failure or when
//   a signal ends the process; it keeps its permission bits (and, for root,
//   its owner). A read-only file is refused, as opening it would be.
// - A symbolic link is followed: the file at its end is replaced and the link
//   stays. A link that another user owns in a world-writable sticky folder is
//   refused, as the kernel's protected_symlinks would.
// - A device or FIFO, at the end of the path or of a link: written in place;
//   a FIFO nobody reads fails at once.
// Returns 0, or -1 with the reason in report.
int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report);

// True when path is "-" or names the file standard output goes to.
bool NamesStandardOutput(const char* path);

// Opens a preset for reading; on Windows the path is UTF-8.
std::FILE* OpenPreset(const char* path);

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
    const char* m_outputPath = nullptr;  // its stat() has no file numbers, so paths are compared
#else
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
#endif
};

}  // namespace t2tk
