// The output writer on Linux. It works on descriptors, not on path text: the
// path is walked one name at a time (files/path_walk_posix.cpp), the output's
// folder is held open, and the temporary file is created, flushed and renamed
// inside it (files/temporary_file_posix.cpp).
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#if __has_include(<linux/fs.h>)
#include <linux/fs.h>  // the append-only flag, where statx does not tell it
#endif

#include <cerrno>
#include <cstring>

#include "files/output_file.h"
#include "files/path_walk.h"
#include "files/temporary_file.h"

namespace t2tk {

struct OutputFile::Decision {
    enum class Kind {
        Refused,     // the refusal says why
        Descriptor,  // one of the process's open descriptors
        InPlace,     // opened and written as it is
        Replace,     // a regular file, replaced by renaming
        Create,      // a new file, made by renaming
    };
    Kind kind = Kind::Refused;
    WriteError refusal;
    WalkedPath walked;
    int descriptor = -1;         // Descriptor: the process's own, never closed here
    bool cutToWritten = false;   // Descriptor: a regular file named by its path is cut to what was written
    bool regular = false;        // the output is a regular file that exists now
    struct stat status {};       // and which one it is
};

namespace {

using Kind = OutputFile::Decision::Kind;

WriteError Failed(WriteProblem problem, std::string file, int error = 0)
{
    return {problem, std::move(file), error, {}};
}

// Writes everything, through interruptions, short writes and a descriptor
// someone left non-blocking; false with errno set.
bool WriteAll(int descriptor, std::span<const std::uint8_t> data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(descriptor, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd ready{descriptor, POLLOUT, 0};
                if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) {
                    continue;
                }
            }
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool SameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino &&
           (one.st_mode & S_IFMT) == (other.st_mode & S_IFMT);
}

// Whether the folder takes files in but never lets one be renamed or
// removed again, told without reading it (a folder of mode 0300 cannot be read).
bool IsAppendOnly(int folder)
{
    struct statx status {};
    if (::statx(folder, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &status) == 0 &&
        (status.stx_attributes_mask & STATX_ATTR_APPEND) != 0) {
        return (status.stx_attributes & STATX_ATTR_APPEND) != 0;
    }
#ifdef FS_IOC_GETFLAGS
    const int readable = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    unsigned flags = 0;
    const bool has = readable >= 0 && ::ioctl(readable, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
    if (readable >= 0) {
        ::close(readable);
    }
    return has;
#else
    return false;
#endif
}

// A regular file is read-only when its permission bits say so, for root too
// (whom the system would let write anyway).
bool IsReadOnly(int folder, const std::string& name, const struct stat& status)
{
    if (::geteuid() == 0) {
        return (status.st_mode & 0222) == 0;
    }
    return ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0;
}

// Cuts a regular file at the end of what was just written, unless it is
// written by appending.
bool CutToWritten(int descriptor)
{
    struct stat status {};
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 || (flags & O_APPEND) != 0) {
        return true;
    }
    const off_t end = ::lseek(descriptor, 0, SEEK_CUR);
    return end < 0 || ::ftruncate(descriptor, end) == 0;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, OutputUse use)
    : m_path(path), m_use(use), m_decision(std::make_unique<Decision>())
{
    Decision& decision = *m_decision;
    if (path == "-") {
        decision.kind = Kind::Descriptor;
        decision.descriptor = STDOUT_FILENO;
    } else if (WriteError refused = WalkPath(path, use == OutputUse::OwnFile ? WalkFor::OwnFile : WalkFor::Output,
                                              decision.walked)) {
        decision.refusal = std::move(refused);
        return;
    } else if (decision.walked.ownDescriptor >= 0) {
        decision.kind = Kind::Descriptor;
        decision.descriptor = decision.walked.ownDescriptor;
        decision.cutToWritten = true;
    } else if (!decision.walked.exists) {
        decision.kind = decision.walked.throughSystemLink ? Kind::InPlace : Kind::Create;
    } else {
        // A regular file is replaced, but for those of /proc and /sys, which
        // are written in place as devices and pipes are.
        const bool regular = S_ISREG(decision.walked.status.st_mode);
        decision.kind = regular && !decision.walked.throughSystemLink && !IsSystemFolder(decision.walked.folder)
                            ? Kind::Replace
                            : Kind::InPlace;
    }
    // What the output is now, to tell a preset or standard output by.
    const bool known = decision.kind == Kind::Descriptor ? ::fstat(decision.descriptor, &decision.status) == 0
                                                         : decision.walked.exists;
    if (known && decision.kind != Kind::Descriptor) {
        decision.status = decision.walked.status;
    }
    decision.regular = known && S_ISREG(decision.status.st_mode);
    // The very file standard output goes to is written there, so that nothing
    // else goes there.
    struct stat output {};
    if (decision.kind != Kind::Descriptor && known && ::fstat(STDOUT_FILENO, &output) == 0 &&
        SameFile(output, decision.status)) {
        decision.kind = Kind::Descriptor;
        decision.descriptor = STDOUT_FILENO;
        decision.cutToWritten = true;
    }
    if (use == OutputUse::OwnFile && decision.kind != Kind::Replace && decision.kind != Kind::Create) {
        decision.kind = Kind::Refused;
        decision.refusal = Failed(WriteProblem::NotRegular, path);
    }
}

OutputFile::~OutputFile() = default;

bool OutputFile::IsStandardOutput() const
{
    return m_decision->kind == Kind::Descriptor && m_decision->descriptor == STDOUT_FILENO;
}

bool OutputFile::IsSameFileAs(std::FILE* file) const
{
    struct stat status {};
    return m_decision->regular && ::fstat(fileno(file), &status) == 0 && SameFile(status, m_decision->status);
}

WriteError OutputFile::WhyNotWritable() const
{
    const Decision& decision = *m_decision;
    const WalkedPath& walked = decision.walked;
    switch (decision.kind) {
    case Kind::Refused:
        return decision.refusal;
    case Kind::Descriptor: {
        const int access = ::fcntl(decision.descriptor, F_GETFL);
        if (access < 0) {
            return Failed(WriteProblem::System, m_path, errno);
        }
        return (access & O_ACCMODE) == O_RDONLY ? Failed(WriteProblem::OpenForReading, m_path) : WriteError{};
    }
    case Kind::InPlace:
        return {};
    case Kind::Replace:
        if (IsReadOnly(walked.folder, walked.name, walked.status)) {
            return Failed(WriteProblem::ReadOnly, m_path);
        }
        break;
    case Kind::Create:
        break;
    }
    const std::string folderText = walked.folderText.empty() ? "." : walked.folderText;
    if (::faccessat(walked.folder, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return walked.missingFolders.empty()
                   ? Failed(WriteProblem::CannotCreateIn, folderText, errno)
                   : Failed(WriteProblem::CannotMakeFolder,
                            (walked.folderText.empty() ? "" : walked.folderText + "/") + walked.missingFolders.front(),
                            errno);
    }
    if (walked.missingFolders.empty() && IsAppendOnly(walked.folder)) {
        return Failed(WriteProblem::AppendOnlyFolder, folderText);
    }
    return {};
}

namespace {

// Writes through one of the process's descriptors.
WriteError WriteToDescriptor(const std::string& path, const OutputFile::Decision& decision,
                             std::span<const std::uint8_t> data)
{
    if (decision.descriptor == STDOUT_FILENO) {
        std::fflush(stdout);
    }
    if (!WriteAll(decision.descriptor, data) || (decision.cutToWritten && !CutToWritten(decision.descriptor))) {
        return Failed(WriteProblem::System, path, errno);
    }
    return {};
}

// Opens what the walk found and writes it as it is: a FIFO nobody reads fails
// at once instead of hanging, and what was opened must be what was found.
WriteError WriteInPlace(const std::string& path, const OutputFile::Decision& decision,
                        std::span<const std::uint8_t> data)
{
    const WalkedPath& walked = decision.walked;
    const int descriptor =
        ::openat(walked.folder, walked.name.c_str(),
                 O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (walked.throughSystemLink ? 0 : O_NOFOLLOW));
    if (descriptor < 0) {
        struct stat status {};
        const bool fifo = errno == ENXIO && ::fstatat(walked.folder, walked.name.c_str(), &status, 0) == 0 &&
                          S_ISFIFO(status.st_mode);
        return fifo ? Failed(WriteProblem::NobodyReading, path) : Failed(WriteProblem::System, path, errno);
    }
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || (walked.exists && !SameFile(opened, walked.status))) {
        ::close(descriptor);
        return Failed(WriteProblem::Changed, path);
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    const bool written = WriteAll(descriptor, data) && CutToWritten(descriptor);
    const int error = errno;
    if (::close(descriptor) != 0 && written) {
        return Failed(WriteProblem::System, path, errno);
    }
    return written ? WriteError{} : Failed(WriteProblem::System, path, error);
}

// Makes the folders the walk found missing on the way to the program's own
// file, for the user alone; in another user's folder, as that user's.
WriteError MakeMissingFolders(WalkedPath& walked)
{
    for (const std::string& name : walked.missingFolders) {
        const std::string text = (walked.folderText.empty() ? "" : walked.folderText + "/") + name;
        struct stat parent {};
        ::fstat(walked.folder, &parent);
        if (::mkdirat(walked.folder, name.c_str(), 0700) != 0 && errno != EEXIST) {
            return Failed(WriteProblem::CannotMakeFolder, text, errno);
        }
        if (::geteuid() == 0 && parent.st_uid != 0) {
            ::fchownat(walked.folder, name.c_str(), parent.st_uid, parent.st_gid, AT_SYMLINK_NOFOLLOW);
        }
        const int next = ::openat(walked.folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            return Failed(WriteProblem::CannotMakeFolder, text, errno);
        }
        ::close(walked.folder);
        walked.folder = next;
        walked.folderText = text;
    }
    walked.missingFolders.clear();
    return {};
}

// Gives the file the owner, group and permissions it is to have: those of the
// file it replaces (the owner only root can give, the group whoever belongs
// to it); a new file of the program's own in another user's folder is that
// user's.
bool SetOwnership(int descriptor, Kind kind, OutputUse use, const WalkedPath& walked)
{
    if (kind == Kind::Replace) {
        // Only what differs is changed: every change is more for the disk to
        // take in before the file is flushed.
        struct stat made {};
        if (::fstat(descriptor, &made) != 0) {
            return false;
        }
        if (made.st_uid != walked.status.st_uid || made.st_gid != walked.status.st_gid) {
            if (::geteuid() == 0) {
                if (::fchown(descriptor, walked.status.st_uid, walked.status.st_gid) != 0) {
                    return false;
                }
            } else if (::fchown(descriptor, static_cast<uid_t>(-1), walked.status.st_gid) != 0) {
                // not one of the user's groups: the file takes the user's own
            }
        }
        return (made.st_mode & 07777) == (walked.status.st_mode & 07777) ||
               ::fchmod(descriptor, walked.status.st_mode & 07777) == 0;
    }
    struct stat folder {};
    if (use == OutputUse::OwnFile && ::geteuid() == 0 && ::fstat(walked.folder, &folder) == 0 && folder.st_uid != 0) {
        return ::fchown(descriptor, folder.st_uid, folder.st_gid) == 0;
    }
    return true;
}

}  // namespace

WriteError OutputFile::Write(std::span<const std::uint8_t> data)
{
    m_warning = {};
    if (WriteError refused = WhyNotWritable()) {
        return refused;
    }
    Decision& decision = *m_decision;
    switch (decision.kind) {
    case Kind::Refused:
        return decision.refusal;
    case Kind::Descriptor:
        return WriteToDescriptor(m_path, decision, data);
    case Kind::InPlace:
        return WriteInPlace(m_path, decision, data);
    case Kind::Replace:
    case Kind::Create:
        break;
    }
    WalkedPath& walked = decision.walked;
    if (WriteError notMade = MakeMissingFolders(walked)) {
        return notMade;
    }
    const std::string folderText = walked.folderText.empty() ? "." : walked.folderText;
    bool written = false;
    int error = 0;
    {
        TemporaryFile temporary(walked.folder);
        // A replacement is made with the replaced file's permissions, none
        // wider; the umask may take some away, which are then given back.
        const int descriptor =
            temporary.Create(decision.kind == Kind::Replace ? (walked.status.st_mode & 0777) : 0666);
        if (descriptor < 0) {
            return Failed(WriteProblem::CannotCreateIn, folderText, errno);
        }
        // On disk before the rename, so that a power cut leaves the old file or the new one.
        written = SetOwnership(descriptor, decision.kind, m_use, walked) && WriteAll(descriptor, data) &&
                  ::fsync(descriptor) == 0;
        error = errno;
        if (::close(descriptor) != 0 && written) {
            written = false;
            error = errno;
        }
        if (written && !temporary.RenameTo(walked.name.c_str())) {
            written = false;
            error = errno;
        }
    }
    if (!written) {
        return Failed(WriteProblem::System, m_path, error);
    }
    // The rename itself reaches the disk with the folder. A folder that
    // cannot even be opened for it (mode 0300) is said, the file kept.
    const int folder = ::openat(walked.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        m_warning = Failed(WriteProblem::Unflushed, m_path, errno);
        return {};
    }
    const bool flushed = ::fsync(folder) == 0;
    error = errno;
    ::close(folder);
    return flushed ? WriteError{} : Failed(WriteProblem::Unflushed, m_path, error);
}

bool ReadOwnFileBytes(const std::string& path, std::size_t limit, std::string& contents, WriteError& problem)
{
    contents.clear();
    problem = {};
    WalkedPath walked;
    if (WriteError error = WalkPath(path, WalkFor::OwnFile, walked)) {
        const bool missing = (error.problem == WriteProblem::System || error.problem == WriteProblem::CannotCreateIn) &&
                             (error.error == ENOENT || error.error == ENOTDIR);
        const bool folder = error.problem == WriteProblem::System && error.error == EISDIR;
        problem = missing ? WriteError{}
                  : folder ? WriteError{WriteProblem::NotOwnFile, path, 0, std::to_string(limit)}
                           : std::move(error);
        return false;
    }
    if (!walked.exists || !walked.missingFolders.empty()) {
        return false;
    }
    const WriteError notOurs{WriteProblem::NotOwnFile, path, 0, std::to_string(limit)};
    if (!S_ISREG(walked.status.st_mode)) {
        problem = notOurs;
        return false;
    }
    // Only the regular file the walk found is read: no device is ever opened.
    const int descriptor =
        ::openat(walked.folder, walked.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {};
    if (descriptor < 0 || ::fstat(descriptor, &opened) != 0 || !SameFile(opened, walked.status)) {
        problem = descriptor < 0 ? Failed(WriteProblem::Unreadable, path, errno) : Failed(WriteProblem::Changed, path);
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return false;
    }
    bool read = true;
    for (char buffer[4096];;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = Failed(WriteProblem::Unreadable, path, errno);
            read = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (contents.size() + static_cast<std::size_t>(got) > limit) {
            problem = notOurs;
            read = false;
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(descriptor);
    if (!read) {
        contents.clear();
    }
    return read;
}

}  // namespace t2tk
