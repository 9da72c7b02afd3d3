#pragma once
// Where a path leads (POSIX), followed one name at a time from the root or the
// working folder, so that every link on the way is looked at before it is
// followed: the writer and the reader of the program's own files go this way.
// Reentrant: all it keeps is in the WalkedPath.
#ifndef _WIN32

#include <sys/stat.h>

#include <string>
#include <vector>

#include "files/write_error.h"

namespace t2tk {

enum class WalkFor {
    Output,   // links are followed unless another user planted them in a shared sticky folder
    OwnFile,  // nor when they lie in another user's folder; missing folders are noted, to be made
};

struct WalkedPath {
    WalkedPath() = default;
    ~WalkedPath();  // closes the folder
    WalkedPath(const WalkedPath&) = delete;
    WalkedPath& operator=(const WalkedPath&) = delete;

    int folder = -1;                         // the folder the last name is in, held open (O_PATH)
    std::string folderText;                  // that folder as users write it, for messages
    std::string name;                        // the last name
    bool exists = false;                     // and whether something has it
    struct stat status {};                   // what it is, when it exists
    bool throughSystemLink = false;          // a link of the system's (/proc/self/fd/N), opened by the kernel
    int ownDescriptor = -1;                  // the process's descriptor that link stands for, if any
    std::vector<std::string> missingFolders;  // OwnFile: folders on the way not there yet, in order
};

// Walks path; an error when it leads nowhere the rules let it go.
WriteError WalkPath(const std::string& path, WalkFor use, WalkedPath& walked);

// True when folder lies on /proc or /sys, whose files are written in place.
bool IsSystemFolder(int folder);

}  // namespace t2tk

#endif
