#pragma once
// Why a file could not be written (or read, for the program's own files): a
// kind, the file or folder it is about, and the system's error number where
// the system said why. Describe turns it into words, in one place.

#include <string>

namespace t2tk {

enum class WriteProblem {
    None,
    System,              // cannot write FILE: the system's error
    CannotCreateIn,      // cannot create a file in FOLDER: the system's error
    CannotMakeFolder,    // cannot make the folder FOLDER: the system's error
    ReadOnly,            // FILE is read-only
    OpenForReading,      // FILE is a descriptor open for reading only
    AppendOnlyFolder,    // FOLDER takes files in but never lets one be renamed or removed
    PlantedLink,         // FILE is a link another user owns in a shared sticky folder
    ForeignLink,         // FILE is a link in another user's folder (the program's own files)
    NobodyReading,       // FILE is a FIFO no process reads
    NotRegular,          // FILE is no regular file (the program's own files)
    NotOwnFile,          // FILE is no regular file of at most the size (detail) a file of ours has
    SharedNames,         // FILE has more names than one (detail: how many), so it is no file of ours
    OthersFile,          // FILE belongs to another user (detail: whom) than its folder's owner
    ForeignFile,         // FILE belongs to another user (detail: whom) in a shared sticky folder
    ForeignPipe,         // FILE, a pipe, belongs to another user (detail: whom) in a shared sticky folder
    AttributeLost,       // FILE has an extended attribute (detail: its name) that cannot be kept
    Unreadable,          // FILE could not be read: the system's error
    Changed,             // FILE changed while it was being opened
    InUse,               // FILE is held open by another program (Windows)
    Unflushed,           // FILE is written, but its folder could not be flushed to disk
    Unflushable,         // FILE is written, but its file system flushes nothing to disk
    OtherNames,          // FILE is written, but it had more names (detail: how many), which keep the old content
    TemporaryLeft,       // FILE, a temporary file, could not be removed; detail: what failed before
};

struct WriteError {
    WriteProblem problem = WriteProblem::None;
    std::string file;    // the file or folder it is about
    int error = 0;       // the system's error number, where it said why
    std::string detail;  // the system's words where no error number says it (Windows), or what the kind names

    explicit operator bool() const { return problem != WriteProblem::None; }
};

// E.g. 'cannot write "out.mid": Permission denied', names shown as a terminal
// may show them, and a path too long to read in a message shortened in its
// middle, so that the reason always follows it.
std::string Describe(const WriteError& error);

}  // namespace t2tk
