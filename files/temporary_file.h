#pragma once
// The temporary file of a replacement in progress, which every signal that
// ends the process takes away with it (POSIX). This is the writer's only
// process-wide state, since a signal handler must reach it: a process
// replaces one file at a time, and a TemporaryFile waits its turn.
#ifndef _WIN32

#include <sys/types.h>

#include <mutex>

namespace t2tk {

class TemporaryFile {
public:
    // For the folder (a descriptor) the file will be made in. The handlers
    // are put in place once a process, for every such signal it does not
    // ignore; a file size limit makes a write fail instead of ending the
    // process for as long as this lives.
    explicit TemporaryFile(int folder);
    // Removes the file, unless it was renamed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file under a short name, so that any output name the folder
    // takes works: ".t2tk-", the process's id, "-" and six random letters;
    // mode: its permissions before the umask. The descriptor, or -1 with
    // errno set.
    int Create(mode_t mode);
    // Its name in its folder.
    const char* name() const;
    // Gives it name in its folder; false with errno set.
    bool RenameTo(const char* name);
    // Removes it now; false with errno set when it is there still.
    bool Remove();

private:
    std::unique_lock<std::mutex> m_turn;
};

// Removes the temporary files that processes of this user left in folder
// when nothing could take them away (SIGKILL, a power cut): only names of
// the pattern above whose process is gone, regular files of the user's own
// with no other name. A folder that cannot be read keeps them.
void RemoveStaleTemporaries(int folder);

}  // namespace t2tk

#endif
