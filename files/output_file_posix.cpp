// The output writer on Linux. It works on descriptors, not on path text: the
// path is walked one name at a time (files/path_walk_posix.cpp), the output's
// folder is held open, and the temporary file is created, flushed and renamed
// inside it (files/temporary_file_posix.cpp).
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#if __has_include(<linux/fs.h>)
#include <linux/fs.h>  // the append-only flag, where statx does not tell it
#endif

#include <cerrno>
#include <cstring>

#include "convert/printable.h"
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

// folder/name as users write it.
std::string Joined(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A user as messages name one: "alice (1000)", or the number alone.
std::string UserText(uid_t user)
{
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(user, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return Printable(found->pw_name) + " (" + std::to_string(user) + ")";
    }
    return std::to_string(user);
}

// Why a file found where the program's own file is to be may not be taken
// for it: a second name could be any file of the system linked there, and a
// file of another user than the folder's owner (whose home it is, when root
// runs with it) is none the program made; in a folder of someone else's (a
// shared one), the user's own file is.
WriteError OwnFileProblem(const std::string& path, int folder, const struct stat& file)
{
    if (file.st_nlink > 1) {
        return {WriteProblem::SharedNames, path, 0, std::to_string(file.st_nlink)};
    }
    struct stat place {};
    if (::fstat(folder, &place) != 0) {
        return {WriteProblem::System, path, errno, {}};
    }
    const uid_t user = ::geteuid();
    if (file.st_uid == place.st_uid || (user != 0 && file.st_uid == user)) {
        return {};
    }
    return {WriteProblem::OthersFile, path, 0,
            "it belongs to " + UserText(file.st_uid) + ", not to the owner of its folder, " + UserText(place.st_uid)};
}

// As the kernel's protected_regular and protected_fifos (at their strictest)
// refuse to open such a file or pipe with O_CREAT: one in a sticky folder
// that others or the group may write, that belongs neither to the user nor
// to the folder's owner, was put there by someone else; the replacement
// would be theirs (root keeps the owner) to rewrite, and what goes into a
// pipe theirs to read.
WriteError ForeignInSharedFolder(const std::string& path, const WalkedPath& walked)
{
    struct stat folder {};
    const uid_t owner = walked.status.st_uid;
    if (::fstat(walked.folder, &folder) != 0 || (folder.st_mode & S_ISVTX) == 0 ||
        (folder.st_mode & (S_IWOTH | S_IWGRP)) == 0 || owner == ::geteuid() || owner == folder.st_uid) {
        return {};
    }
    return {S_ISFIFO(walked.status.st_mode) ? WriteProblem::ForeignPipe : WriteProblem::ForeignFile, path, 0,
            UserText(owner)};
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
    } else if (use == OutputUse::OwnFile && decision.kind == Kind::Replace) {
        if (WriteError notOurs = OwnFileProblem(path, decision.walked.folder, decision.walked.status)) {
            decision.kind = Kind::Refused;
            decision.refusal = std::move(notOurs);
        }
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
        return walked.exists && S_ISFIFO(walked.status.st_mode) ? ForeignInSharedFolder(m_path, walked) : WriteError{};
    case Kind::Replace:
        if (WriteError theirs = ForeignInSharedFolder(m_path, walked)) {
            return theirs;
        }
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

// Hands the folder just made, opened as folder, to the owner of the folder
// it is in, once it is seen to be that folder still: root's, empty. A folder
// swapped in meanwhile would be someone's, with something in it. False with
// errno set, or 0 when something else stands there.
bool HandOver(int folder, const struct stat& parent)
{
    const int held = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = held >= 0 ? ::fdopendir(held) : nullptr;
    if (entries == nullptr) {
        if (held >= 0) {
            ::close(held);
        }
        return false;
    }
    struct stat status {};
    bool fresh = ::fstat(held, &status) == 0 && status.st_uid == 0 && status.st_nlink == 2;
    // A stream of its own, which readdir walks safely (readdir_r is deprecated).
    while (const dirent* entry = fresh ? ::readdir(entries) : nullptr) {  // cppcheck-suppress readdirCalled
        fresh = std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0;
    }
    errno = 0;
    const bool handed = fresh && ::fchown(held, parent.st_uid, parent.st_gid) == 0;
    const int error = errno;
    ::closedir(entries);
    errno = error;
    return handed;
}

// Makes the folders the walk found missing on the way to the program's own
// file, for the user alone; in another user's folder, as that user's. Each
// is made, then opened without following anything, and only what was opened
// is looked at and handed over: whatever is put at its name meanwhile (a
// link, a hard link to someone's file) is refused and stays whose it was.
WriteError MakeMissingFolders(WalkedPath& walked)
{
    const uid_t user = ::geteuid();
    for (const std::string& name : walked.missingFolders) {
        const std::string text = Joined(walked.folderText, name);
        struct stat parent {};
        if (::fstat(walked.folder, &parent) != 0) {
            return Failed(WriteProblem::CannotMakeFolder, text, errno);
        }
        const bool made = ::mkdirat(walked.folder, name.c_str(), 0700) == 0;
        if (!made && errno != EEXIST) {
            return Failed(WriteProblem::CannotMakeFolder, text, errno);
        }
        const int next = ::openat(walked.folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened {};
        if (next < 0 || ::fstat(next, &opened) != 0) {
            const int why = errno;
            if (next >= 0) {
                ::close(next);
            }
            return why == ENOTDIR || why == ELOOP
                       ? WriteError{WriteProblem::CannotMakeFolder, text, 0, "something else took its place meanwhile"}
                       : Failed(WriteProblem::CannotMakeFolder, text, why);
        }
        // The folder owner's, or the user's own where that is no one else's
        // home (a shared folder); root hands the folder it just made to the
        // owner of the folder it is in.
        const bool theirs = opened.st_uid == parent.st_uid || (user != 0 && opened.st_uid == user);
        errno = 0;
        if (!theirs && !(user == 0 && made && HandOver(next, parent))) {
            const int why = errno;
            ::close(next);
            return why != 0 ? Failed(WriteProblem::CannotMakeFolder, text, why)
                            : WriteError{WriteProblem::CannotMakeFolder, text, 0, "something else took its place meanwhile"};
        }
        ::close(walked.folder);
        walked.folder = next;
        walked.folderText = text;
    }
    walked.missingFolders.clear();
    return {};
}

// A file system that keeps nothing on disk (or has no flush): its files are
// written all the same, with a warning.
bool FlushUnsupported(int error)
{
    return error == EINVAL || error == ENOTSUP;
}

// The names of a file's extended attributes, each ended by a NUL; none on a
// file system without them. False with errno set.
bool AttributeNames(int descriptor, std::vector<char>& names)
{
    for (int attempt = 0; attempt < 8; ++attempt) {  // they may change in between
        const ssize_t size = ::flistxattr(descriptor, nullptr, 0);
        if (size <= 0) {
            names.clear();
            return size == 0 || errno == ENOTSUP;
        }
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(descriptor, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
}

bool AttributeValue(int descriptor, const char* name, std::vector<char>& value)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ::fgetxattr(descriptor, name, nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = size == 0 ? 0 : ::fgetxattr(descriptor, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
}

bool HasName(const std::vector<char>& names, const char* name)
{
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        if (std::strcmp(names.data() + at, name) == 0) {
            return true;
        }
    }
    return false;
}

// Gives the replacement the extended attributes of the file it replaces, its
// ACL among them (cp --preserve=all does the same), and takes away those the
// replaced file lacked: an ACL the folder hands down would let someone read
// the new file who could not read the old one. File capabilities are left
// out, as any write of the file takes them away. What cannot be kept keeps
// the old file where it is.
WriteError KeepAttributes(const std::string& path, int made, const WalkedPath& walked)
{
    // A file of mode 0200 can be opened for writing only; nothing is written.
    int replaced = ::openat(walked.folder, walked.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (replaced < 0 && errno == EACCES) {
        replaced = ::openat(walked.folder, walked.name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    }
    struct stat status {};
    if (replaced < 0 || ::fstat(replaced, &status) != 0 || !SameFile(status, walked.status)) {
        const int why = errno;
        if (replaced >= 0) {
            ::close(replaced);
            return Failed(WriteProblem::Changed, path);
        }
        return why == ENOENT || why == ELOOP ? Failed(WriteProblem::Changed, path) : Failed(WriteProblem::System, path, why);
    }
    WriteError problem;
    std::vector<char> kept;
    std::vector<char> given;
    if (!AttributeNames(replaced, kept) || !AttributeNames(made, given)) {
        problem = Failed(WriteProblem::System, path, errno);
    }
    for (std::size_t at = 0; !problem && at < given.size(); at += std::strlen(given.data() + at) + 1) {
        const char* name = given.data() + at;
        // A security label the system gives every new file may stay.
        if (!HasName(kept, name) && ::fremovexattr(made, name) != 0 && std::strncmp(name, "security.", 9) != 0) {
            problem = {WriteProblem::AttributeLost, path, errno, name};
        }
    }
    std::vector<char> value;
    std::vector<char> current;
    for (std::size_t at = 0; !problem && at < kept.size(); at += std::strlen(kept.data() + at) + 1) {
        const char* name = kept.data() + at;
        if (std::strcmp(name, "security.capability") == 0) {
            continue;
        }
        if (!AttributeValue(replaced, name, value) ||
            ((!AttributeValue(made, name, current) || current != value) &&
             ::fsetxattr(made, name, value.data(), value.size(), 0) != 0)) {
            problem = {WriteProblem::AttributeLost, path, errno, name};
        }
    }
    ::close(replaced);
    return problem;
}

// Gives the file the owner, group, attributes and permissions it is to have:
// those of the file it replaces (the owner only root can give, the group
// whoever belongs to it); a new file of the program's own in another user's
// folder is that user's.
WriteError SetOwnership(const std::string& path, int descriptor, Kind kind, OutputUse use, const WalkedPath& walked)
{
    if (kind != Kind::Replace) {
        struct stat folder {};
        if (use == OutputUse::OwnFile && ::geteuid() == 0 && ::fstat(walked.folder, &folder) == 0 &&
            folder.st_uid != 0 && ::fchown(descriptor, folder.st_uid, folder.st_gid) != 0) {
            return Failed(WriteProblem::System, path, errno);
        }
        return {};
    }
    // Only what differs is changed: every change is more for the disk to
    // take in before the file is flushed.
    struct stat made {};
    if (::fstat(descriptor, &made) != 0) {
        return Failed(WriteProblem::System, path, errno);
    }
    const struct stat& old = walked.status;
    mode_t mode = old.st_mode & 07777;
    if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
        if (::geteuid() == 0) {
            if (::fchown(descriptor, old.st_uid, old.st_gid) != 0) {
                return Failed(WriteProblem::System, path, errno);
            }
        } else if (made.st_gid != old.st_gid && ::fchown(descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not one of the user's groups: the file takes the user's own,
            // which gets no more than anyone had.
            mode = (mode & ~S_IRWXG) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
        }
    }
    if (WriteError lost = KeepAttributes(path, descriptor, walked)) {
        return lost;
    }
    // Last, since an ACL just set gave the group bits their mask.
    if (::fstat(descriptor, &made) != 0) {
        return Failed(WriteProblem::System, path, errno);
    }
    if ((made.st_mode & 07777) != mode && ::fchmod(descriptor, mode) != 0) {
        return Failed(WriteProblem::System, path, errno);
    }
    return {};
}

// Fills the temporary file and flushes it to disk, so that a power cut
// after the rename leaves the old file or the new one. unflushable: the
// error of a file system that cannot flush, which only a warning says.
WriteError FillTemporary(const std::string& path, int descriptor, Kind kind, OutputUse use, const WalkedPath& walked,
                         std::span<const std::uint8_t> data, int& unflushable)
{
    if (WriteError notSet = SetOwnership(path, descriptor, kind, use, walked)) {
        return notSet;
    }
    if (!WriteAll(descriptor, data)) {
        return Failed(WriteProblem::System, path, errno);
    }
    if (::fsync(descriptor) != 0) {
        if (!FlushUnsupported(errno)) {
            return Failed(WriteProblem::System, path, errno);
        }
        unflushable = errno;
    }
    return {};
}

}  // namespace

WriteError OutputFile::Write(std::span<const std::uint8_t> data)
{
    m_warnings.clear();
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
    RemoveStaleTemporaries(walked.folder);
    const std::string folderText = walked.folderText.empty() ? "." : walked.folderText;
    int unflushable = 0;
    {
        TemporaryFile temporary(walked.folder);
        // A replacement is made for its owner alone: the group it is made
        // with (a setgid folder's) may not be the one it keeps, and what is
        // opened meanwhile stays open. Its permissions come once it has its
        // group and attributes, the umask's included.
        const int descriptor =
            temporary.Create(decision.kind == Kind::Replace ? (walked.status.st_mode & 0700) : 0666);
        if (descriptor < 0) {
            return Failed(WriteProblem::CannotCreateIn, folderText, errno);
        }
        WriteError failure = FillTemporary(m_path, descriptor, decision.kind, m_use, walked, data, unflushable);
        if (::close(descriptor) != 0 && !failure) {
            failure = Failed(WriteProblem::System, m_path, errno);
        }
        if (!failure && !temporary.RenameTo(walked.name.c_str())) {
            failure = Failed(WriteProblem::System, m_path, errno);
        }
        if (failure && !temporary.Remove()) {
            return {WriteProblem::TemporaryLeft, Joined(walked.folderText, temporary.name()), errno, Describe(failure)};
        }
        if (failure) {
            return failure;
        }
    }
    if (unflushable != 0) {
        m_warnings.push_back(Failed(WriteProblem::Unflushable, m_path, unflushable));
    }
    if (decision.kind == Kind::Replace && walked.status.st_nlink > 1) {
        m_warnings.push_back({WriteProblem::OtherNames, m_path, 0, std::to_string(walked.status.st_nlink)});
    }
    // The rename itself reaches the disk with the folder. A folder that
    // cannot even be opened for it (mode 0300) is said, the file kept.
    const int folder = ::openat(walked.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        m_warnings.push_back(Failed(WriteProblem::Unflushed, m_path, errno));
        return {};
    }
    const bool flushed = ::fsync(folder) == 0;
    const int error = errno;
    ::close(folder);
    if (!flushed && FlushUnsupported(error)) {
        if (unflushable == 0) {
            m_warnings.push_back(Failed(WriteProblem::Unflushable, m_path, error));
        }
        return {};
    }
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
    problem = OwnFileProblem(path, walked.folder, walked.status);
    if (problem) {
        return false;
    }
    // Only the regular file the walk found is read: no device is ever opened,
    // and a name it got meanwhile counts.
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
    problem = OwnFileProblem(path, walked.folder, opened);
    if (problem) {
        ::close(descriptor);
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
