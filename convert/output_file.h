#pragma once
// Every file t2tk writes, the MIDI files and the settings alike, is written
// here, one way: what the output is gets decided once, before anything is
// read, and then it is written so that nothing is lost when writing fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "convert/conversion_report.h"

namespace t2tk {

enum class OutputUse {
    AnyFile,      // a conversion's output: files, and pipes, terminals and devices too
    RegularFile,  // a settings file: only a regular file (or a new one) is written
};

// What a path names as an output:
// - a regular file that has a name, or a name not yet taken: written to a
//   temporary file in its folder, flushed to disk and renamed over it once
//   complete, keeping the replaced file's permissions, its group where the
//   process may set it, and (for root) its owner; a read-only file is refused,
//   and so is a folder that is append-only. A signal that ends the process
//   takes the temporary file with it;
// - anything else that can be opened (a pipe, socket, terminal or device, an
//   unlinked file or memfd behind /dev/fd, "-" for standard output): written
//   in place, through the process's own descriptor when the path names one; a
//   FIFO that nobody reads fails at once;
// - something to refuse: a link that another user owns in a world-writable
//   sticky folder, anywhere on the path, as the kernel's protected_symlinks
//   does for the last one; a preset of the conversion (see Is).
// Links are followed, and each stays a link.
class OutputTarget {
public:
    explicit OutputTarget(const char* path, OutputUse use = OutputUse::AnyFile);
#ifdef _WIN32
    ~OutputTarget() = default;
#else
    ~OutputTarget();  // closes the folder it holds
#endif
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // True when the output is the process's standard output, so that nothing
    // else may go there.
    bool IsStandardOutput() const;
    // True when preset, open for reading, is the output: writing would lose it.
    bool Is(std::FILE* preset) const;
    // Whether the output can be written, as far as can be told before writing:
    // 0, or -1 with the reason in report.
    int Check(ConversionReport* report) const;
    // Writes size bytes. Returns 0, or -1 with the reason in report.
    int Write(const std::uint8_t* data, std::size_t size, ConversionReport* report);

private:
    enum class Kind {
        Refused,     // the reason is kept for Write
        Descriptor,  // one of the process's open descriptors
        InPlace,     // opened and written as it is
        Replace,     // a regular file, replaced by renaming
        Create,      // a new file, made by renaming
    };
    void Refuse(ConversionFailure failure, const char* file, int error, const char* reason = nullptr);
    bool Walk();

    const char* m_path;
    OutputUse m_use;
    Kind m_kind = Kind::Refused;
    ConversionFailure m_failure = ConversionFailure::OutputWrite;
    char m_failedFile[kPathCapacity] = {};
    int m_error = 0;                    // errno of a refusal, or 0 with m_reason
    const char* m_reason = nullptr;
    bool m_regular = false;             // the output is a regular file that exists now
    unsigned long long m_device = 0;    // and which one it is
    unsigned long long m_inode = 0;
#ifdef _WIN32
    unsigned long m_attributes = 0;
#else
    int m_descriptor = -1;              // Descriptor: the process's own, never closed here
    int m_folder = -1;                  // InPlace, Replace, Create: the folder, and the name in it
    char m_name[256] = {};
    char m_folderText[kPathCapacity] = {};  // the folder as users would write it, for messages
    bool m_followLast = false;          // InPlace through a link of the system's (/proc)
    unsigned m_mode = 0;                // Replace: the replaced file's permissions, owner, group
    unsigned m_owner = 0;
    unsigned m_group = 0;
#endif
};

// Writes size bytes to path as an OutputTarget does.
inline int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report,
                           OutputUse use = OutputUse::AnyFile)
{
    OutputTarget target(path, use);
    return target.Write(data, size, report);
}

// Reads a small file of the program's own (its settings): only a regular file,
// opened without waiting (a FIFO never hangs the program), and only when it
// holds at most limit bytes. Returns 0, -1 with errno set, or 1 when it is no
// regular file or larger than limit; on Windows the path is UTF-8.
int ReadSmallFile(const char* path, std::size_t limit, std::string& contents);

// Opens a preset for reading; on Windows the path is UTF-8.
std::FILE* OpenPreset(const char* path);

}  // namespace t2tk
