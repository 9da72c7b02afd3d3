#pragma once
// Every file t2tk writes, the MIDI files and the settings alike, is written
// here, one way: what the output is gets decided once, before anything is
// read, and then it is written so that nothing is lost when writing fails.
//
// What a path names as an output:
// - a regular file that has a name, or a name not yet taken: written to a
//   temporary file in its folder, flushed to disk and renamed over it once
//   complete, keeping the replaced file's permissions, extended attributes
//   and ACL, its group where the process may set it (else no group gets more
//   than others had), and (for root) its owner; a file without a write
//   permission bit is refused (for root too), and so are a folder that is
//   append-only and another user's file in a shared sticky folder. A signal
//   that ends the process takes the temporary file with it, and the next
//   write into a folder takes those that a killed process left;
// - anything else that can be opened (a pipe, socket, terminal or device, an
//   unlinked file or memfd behind /dev/fd, a file of /proc or /sys, "-" for
//   standard output): written in place, through the process's own
//   descriptor when the path names one, and a regular file reached that way
//   cut to what was written (but for "-", which writes on as cat does); a
//   FIFO that nobody reads fails at once;
// - something to refuse: a link that another user owns in a world-writable
//   sticky folder, anywhere on the path, as the kernel's protected_symlinks
//   does for the last one; a preset of the conversion (see IsSameFileAs).
// Links are followed, and each stays a link.
//
// Objects of the class are independent of one another, but a process
// replaces one file at a time: the temporary file is what a signal handler
// must reach (files/temporary_file_posix.cpp), and there is one of it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "files/write_error.h"

namespace t2tk {

enum class OutputUse {
    AnyFile,   // a conversion's output
    OwnFile,   // the program's own file (its settings): only a regular file
               // with one name that belongs to its folder's owner (or to the
               // user, in a folder of another's), no link followed in another
               // user's folder, and what is made in another user's folder
               // made theirs (for root)
};

class OutputFile {
public:
    explicit OutputFile(const std::string& path, OutputUse use = OutputUse::AnyFile);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // True when the output is the process's standard output, so that nothing
    // else may go there.
    bool IsStandardOutput() const;
    // True when file, open for reading, is the output itself: writing would lose it.
    bool IsSameFileAs(std::FILE* file) const;
    // Why the output cannot be written, as far as can be told before writing.
    WriteError WhyNotWritable() const;
    // Writes data as the output; a folder missing on the way to the
    // program's own file is made first.
    WriteError Write(std::span<const std::uint8_t> data);
    // What there is to say although the file was written, e.g. a folder that
    // could not even be opened to be flushed.
    const std::vector<WriteError>& warnings() const { return m_warnings; }

    struct Decision;  // what the path was found to be, per system

private:
    std::string m_path;
    OutputUse m_use;
    std::unique_ptr<Decision> m_decision;
    std::vector<WriteError> m_warnings;
};

// Reads a small file of the program's own (its settings), found as its output
// would be: only a regular file of the owner its output may have, with one
// name, opened without waiting, and only when it holds at most limit bytes. Returns whether it was found; problem is set
// when it is there but not read.
bool ReadOwnFileBytes(const std::string& path, std::size_t limit, std::string& contents, WriteError& problem);

}  // namespace t2tk
