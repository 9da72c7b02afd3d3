// The output writer on Linux. It works on descriptors, not on path text: the
// path is walked one name at a time (so that every link on the way is looked
// at), the output's folder is held open, and the temporary file is created,
// flushed and renamed inside it. No allocation, and nothing but system calls
// between the temporary file's creation and its rename or removal.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/random.h>
#endif
#if __has_include(<linux/fs.h>)
#include <linux/fs.h>  // the append-only flag
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "convert/ending_signals.h"
#include "convert/output_file.h"

namespace t2tk {

namespace {

constexpr long kProcFilesystem = 0x9fa0;  // PROC_SUPER_MAGIC
constexpr int kMostLinks = 40;            // as the kernel follows at most

// The temporary file of a replacement in progress, so that a signal that ends
// the process takes it away: its folder and its name there.
volatile sig_atomic_t g_haveTemporary = 0;
int g_temporaryFolder = -1;
char g_temporary[16];
struct sigaction g_previous[NSIG];

bool Caught(int signal)
{
    const sigset_t ending = EndingSignals();
    const sigset_t faults = FaultSignals();
    return sigismember(&ending, signal) == 1 || sigismember(&faults, signal) == 1;
}

extern "C" void RemoveTemporaryAndEnd(int signal)
{
    if (g_haveTemporary != 0) {
        ::unlinkat(g_temporaryFolder, g_temporary, 0);
        g_haveTemporary = 0;
    }
    ::sigaction(signal, &g_previous[signal], nullptr);
    ::raise(signal);  // delivered as before once this handler returns
}

// Holds the ending signals back in this thread for as long as it lives.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t all = EndingSignals();
        ::pthread_sigmask(SIG_BLOCK, &all, &m_previous);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

// For as long as it lives: every signal that would end the process first
// takes the temporary file away, and a file size limit is an error of write()
// instead of a death.
class TemporaryCleanup {
public:
    explicit TemporaryCleanup(int folder)
    {
        g_temporaryFolder = folder;
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndEnd;
        sigfillset(&action.sa_mask);
        for (int signal = 1; signal < NSIG; ++signal) {
            if (Caught(signal) && ::sigaction(signal, nullptr, &g_previous[signal]) == 0 &&
                g_previous[signal].sa_handler != SIG_IGN) {
                m_handled[signal] = true;
                ::sigaction(signal, &action, nullptr);
            }
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        m_sizeLimitHandled = ::sigaction(SIGXFSZ, &ignore, &m_sizeLimit) == 0;
    }
    ~TemporaryCleanup()
    {
        const SignalsHeld held;
        g_haveTemporary = 0;
        for (int signal = 1; signal < NSIG; ++signal) {
            if (m_handled[signal]) {
                ::sigaction(signal, &g_previous[signal], nullptr);
            }
        }
        if (m_sizeLimitHandled) {
            ::sigaction(SIGXFSZ, &m_sizeLimit, nullptr);
        }
    }
    TemporaryCleanup(const TemporaryCleanup&) = delete;
    TemporaryCleanup& operator=(const TemporaryCleanup&) = delete;

    // A new file of a random short name in the folder, so that any output name
    // the folder takes works. mode: its permissions before the umask.
    int Create(mode_t mode)
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            unsigned char random[8] = {};
#ifdef __linux__
            if (::getrandom(random, 6, GRND_NONBLOCK) != 6)
#endif
            {
                // No entropy to be had: the process, the time and the attempt.
                const auto mixed = (static_cast<unsigned long long>(::getpid()) << 32) ^
                                   static_cast<unsigned long long>(::time(nullptr)) * 2654435761ULL ^
                                   static_cast<unsigned long long>(attempt) * 40503ULL;
                std::memcpy(random, &mixed, sizeof random);
            }
            const SignalsHeld held;
            std::memcpy(g_temporary, ".t2tk-", 6);
            for (int i = 0; i < 6; ++i) {
                g_temporary[6 + i] = kLetters[random[i] % (sizeof kLetters - 1)];
            }
            g_temporary[12] = '\0';
            const int descriptor =
                ::openat(g_temporaryFolder, g_temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (descriptor >= 0) {
                g_haveTemporary = 1;
                return descriptor;
            }
            if (errno != EEXIST) {
                return -1;
            }
        }
        return -1;
    }
    // Renames the temporary file to name, with the ending signals held back so
    // that no handler can take it away once it has its name; false with errno set.
    static bool Keep(const char* name)
    {
        const SignalsHeld held;
        const bool kept = ::renameat(g_temporaryFolder, g_temporary, g_temporaryFolder, name) == 0;
        const int error = errno;
        g_haveTemporary = kept ? 0 : 1;
        errno = error;
        return kept;
    }
    static void Remove()
    {
        const SignalsHeld held;
        ::unlinkat(g_temporaryFolder, g_temporary, 0);
        g_haveTemporary = 0;
    }

private:
    bool m_handled[NSIG] = {};
    struct sigaction m_sizeLimit {};
    bool m_sizeLimitHandled = false;
};

int Fail(ConversionReport* report, ConversionFailure failure, const char* path, const char* reason)
{
    ReportFailure(report, failure, path, reason);
    return -1;
}

int FailWith(ConversionReport* report, const char* path, int error)
{
    return Fail(report, ConversionFailure::OutputWrite, path, std::strerror(error));
}

// Writes everything, through interruptions, short writes and a descriptor
// someone left non-blocking; false with errno set.
bool WriteAll(int descriptor, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
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
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool Append(char* text, std::size_t size, const char* more, std::size_t length)
{
    const std::size_t used = std::strlen(text);
    if (used + length >= size) {
        return false;
    }
    std::memcpy(text + used, more, length);
    text[used + length] = '\0';
    return true;
}

// A link in a world-writable sticky folder (/tmp, say) that neither the caller
// nor the folder's owner owns may have been planted to redirect the output.
bool IsPlantedLink(int folder, const struct stat& link)
{
    struct stat status {};
    if (::fstat(folder, &status) != 0) {
        return false;
    }
    const bool shared = (status.st_mode & S_ISVTX) != 0 && (status.st_mode & S_IWOTH) != 0;
    return shared && link.st_uid != ::geteuid() && link.st_uid != status.st_uid;
}

bool IsProcFolder(int folder)
{
    struct statfs filesystem {};
    return ::fstatfs(folder, &filesystem) == 0 && filesystem.f_type == kProcFilesystem;
}

// The descriptor number a name of /proc/self/fd stands for, or -1.
int OwnDescriptor(int folder, const char* name)
{
    struct stat own {};
    struct stat here {};
    if (::stat("/proc/self/fd", &own) != 0 || ::fstat(folder, &here) != 0 || own.st_dev != here.st_dev ||
        own.st_ino != here.st_ino || *name == '\0') {
        return -1;
    }
    int number = 0;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || number > 100000) {
            return -1;
        }
        number = number * 10 + (*c - '0');
    }
    return number;
}

bool IsAppendOnly(int folder)
{
#ifndef FS_IOC_GETFLAGS
    (void)folder;
    return false;  // a system without file flags
#else
    const int readable = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0) {
        return false;
    }
    unsigned flags = 0;
    const bool has = ::ioctl(readable, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
    ::close(readable);
    return has;
#endif
}

// text/name, without doubling the separator; false when it does not fit.
bool JoinName(char* text, std::size_t size, const char* name, std::size_t length)
{
    const std::size_t used = std::strlen(text);
    return (used == 0 || text[used - 1] == '/' || Append(text, size, "/", 1)) && Append(text, size, name, length);
}

}  // namespace

OutputTarget::OutputTarget(const char* path, OutputUse use) : m_path(path), m_use(use)
{
    if (std::strcmp(path, "-") == 0) {
        m_kind = Kind::Descriptor;
        m_descriptor = STDOUT_FILENO;
    } else if (!Walk()) {
        return;
    }
    // What the output is now, to tell a preset or standard output by.
    struct stat status {};
    const bool known = m_kind == Kind::Descriptor ? ::fstat(m_descriptor, &status) == 0
                       : m_kind == Kind::Create
                           ? false
                           : ::fstatat(m_folder, m_name, &status, m_followLast ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
    if (known) {
        m_regular = S_ISREG(status.st_mode);
        m_device = status.st_dev;
        m_inode = status.st_ino;
        m_mode = status.st_mode & 07777;
        m_owner = status.st_uid;
        m_group = status.st_gid;
    }
    // The very file standard output goes to is written there, so that nothing
    // else goes there.
    struct stat output {};
    if (m_kind != Kind::Descriptor && known && ::fstat(STDOUT_FILENO, &output) == 0 &&
        output.st_dev == status.st_dev && output.st_ino == status.st_ino) {
        m_kind = Kind::Descriptor;
        m_descriptor = STDOUT_FILENO;
    }
    if (m_use == OutputUse::RegularFile && m_kind != Kind::Replace && m_kind != Kind::Create) {
        Refuse(ConversionFailure::OutputWrite, m_path, 0, "it is not a regular file");
    }
}

// Walks the path one name at a time from the root or the working folder,
// following links (each looked at first) and holding the folder reached open,
// until the last name. False when the output is refused.
bool OutputTarget::Walk()
{
    static char pending[kPathCapacity];  // the names still to walk
    static char link[kPathCapacity];
    const char* path = m_path;
    if (std::snprintf(pending, sizeof pending, "%s", path) >= static_cast<int>(sizeof pending)) {
        Refuse(ConversionFailure::OutputWrite, path, ENAMETOOLONG);
        return false;
    }
    const bool absolute = *path == '/';
    const bool endsInSlash = *path != '\0' && path[std::strlen(path) - 1] == '/';
    m_folder = ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::snprintf(m_folderText, sizeof m_folderText, "%s", absolute ? "/" : "");
    int links = 0;
    const char* rest = pending;
    for (;;) {
        while (*rest == '/') {
            ++rest;
        }
        const std::size_t length = std::strcspn(rest, "/");
        const char* after = rest + length;
        while (*after == '/') {
            ++after;
        }
        const bool last = *after == '\0';
        // The folder a failure is about: where the file would be made.
        const auto refuseFolder = [&](int error) {
            std::snprintf(m_failedFile, sizeof m_failedFile, "%s", m_folderText);
            const char* lastName = std::strrchr(rest, '/');
            if (!last) {
                JoinName(m_failedFile, sizeof m_failedFile, rest, static_cast<std::size_t>(lastName - rest));
            }
            Refuse(ConversionFailure::OutputFolder, *m_failedFile != '\0' ? m_failedFile : ".", error);
            return false;
        };
        if (length >= sizeof m_name) {
            Refuse(ConversionFailure::OutputWrite, path, ENAMETOOLONG);
            return false;
        }
        std::memcpy(m_name, rest, length);
        m_name[length] = '\0';
        if (length == 0 || std::strcmp(m_name, ".") == 0) {  // the folder itself: "", ".", "kits/."
            if (last) {
                Refuse(ConversionFailure::OutputWrite, path, EISDIR);
                return false;
            }
            rest = after;
            continue;
        }
        struct stat status {};
        if (::fstatat(m_folder, m_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last && !endsInSlash) {
                m_kind = Kind::Create;
                return true;
            }
            if (last) {
                Refuse(ConversionFailure::OutputWrite, path, errno);
                return false;
            }
            return refuseFolder(errno);
        }
        if (S_ISLNK(status.st_mode)) {
            std::snprintf(m_failedFile, sizeof m_failedFile, "%s", m_folderText);
            JoinName(m_failedFile, sizeof m_failedFile, m_name, length);
            if (IsPlantedLink(m_folder, status)) {
                Refuse(ConversionFailure::OutputLink, m_failedFile, 0,
                       "it is a link that another user owns in a shared folder");
                return false;
            }
            if (IsProcFolder(m_folder) && last) {
                // The system's links (/proc/self/fd/1) are no text to follow:
                // the process's own descriptor, or what the kernel opens.
                m_descriptor = OwnDescriptor(m_folder, m_name);
                m_kind = m_descriptor >= 0 ? Kind::Descriptor : Kind::InPlace;
                m_followLast = true;
                return true;
            }
            if (!IsProcFolder(m_folder)) {
                if (++links > kMostLinks) {
                    Refuse(ConversionFailure::OutputWrite, path, ELOOP);
                    return false;
                }
                const ssize_t got = ::readlinkat(m_folder, m_name, link, sizeof link - 1);
                if (got < 0) {
                    Refuse(ConversionFailure::OutputWrite, path, errno);
                    return false;
                }
                link[got] = '\0';
                // The link's text takes its place in what is left to walk.
                if ((!last && !JoinName(link, sizeof link, after, std::strlen(after))) ||
                    (last && endsInSlash && !Append(link, sizeof link, "/", 1))) {
                    Refuse(ConversionFailure::OutputWrite, path, ENAMETOOLONG);
                    return false;
                }
                if (link[0] == '/') {
                    ::close(m_folder);
                    m_folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                    std::snprintf(m_folderText, sizeof m_folderText, "/");
                }
                std::memcpy(pending, link, std::strlen(link) + 1);
                rest = pending;
                continue;
            }
        } else if (last) {
            if (S_ISDIR(status.st_mode) || endsInSlash) {
                Refuse(ConversionFailure::OutputWrite, path, S_ISDIR(status.st_mode) ? EISDIR : ENOTDIR);
                return false;
            }
            m_kind = S_ISREG(status.st_mode) ? Kind::Replace : Kind::InPlace;
            return true;
        }
        // A folder on the way (the system's links to one are followed by the kernel).
        const int next = ::openat(m_folder, m_name, O_PATH | O_DIRECTORY | O_CLOEXEC |
                                                        (S_ISLNK(status.st_mode) ? 0 : O_NOFOLLOW));
        if (next < 0) {
            return refuseFolder(errno);
        }
        ::close(m_folder);
        m_folder = next;
        JoinName(m_folderText, sizeof m_folderText, m_name, length);
        rest = after;
    }
}

OutputTarget::~OutputTarget()
{
    if (m_folder >= 0) {
        ::close(m_folder);
    }
}

void OutputTarget::Refuse(ConversionFailure failure, const char* file, int error, const char* reason)
{
    m_kind = Kind::Refused;
    m_failure = failure;
    if (file != m_failedFile) {
        std::snprintf(m_failedFile, sizeof m_failedFile, "%s", file);
    }
    m_error = error;
    m_reason = reason;
}

bool OutputTarget::IsStandardOutput() const
{
    return m_kind == Kind::Descriptor && m_descriptor == STDOUT_FILENO;
}

bool OutputTarget::Is(std::FILE* preset) const
{
    struct stat status {};
    return m_regular && ::fstat(fileno(preset), &status) == 0 && status.st_dev == m_device &&
           status.st_ino == m_inode;
}

int OutputTarget::Check(ConversionReport* report) const
{
    if (m_kind == Kind::Refused) {
        return Fail(report, m_failure, m_failedFile, m_reason != nullptr ? m_reason : std::strerror(m_error));
    }
    if (m_kind != Kind::Replace && m_kind != Kind::Create) {
        return 0;
    }
    const char* folderText = *m_folderText != '\0' ? m_folderText : ".";
    if (m_kind == Kind::Replace && ::faccessat(m_folder, m_name, W_OK, AT_EACCESS) != 0) {
        return Fail(report, ConversionFailure::OutputWrite, m_path, "it is read-only");
    }
    if (::faccessat(m_folder, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return Fail(report, ConversionFailure::OutputFolder, folderText, std::strerror(errno));
    }
    // Such a folder lets files in but never renamed or removed again.
    if (IsAppendOnly(m_folder)) {
        return Fail(report, ConversionFailure::OutputFolder, folderText,
                    "it is append-only, and a file in it can be neither replaced nor removed");
    }
    return 0;
}

int OutputTarget::Write(const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    switch (m_kind) {
    case Kind::Refused:
        return Check(report);
    case Kind::Descriptor: {
        if (m_descriptor == STDOUT_FILENO) {
            std::fflush(stdout);
        }
        const int access = ::fcntl(m_descriptor, F_GETFL);
        if (access < 0 || (access & O_ACCMODE) == O_RDONLY) {
            return FailWith(report, m_path, access < 0 ? errno : EBADF);
        }
        return WriteAll(m_descriptor, data, size) ? 0 : FailWith(report, m_path, errno);
    }
    case Kind::InPlace: {
        // Without waiting: a FIFO nobody reads fails at once instead of hanging.
        const int descriptor = ::openat(m_folder, m_name,
                                        O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (m_followLast ? 0 : O_NOFOLLOW) |
                                            (m_regular ? O_TRUNC : 0));
        if (descriptor < 0) {
            struct stat status {};
            const bool fifo = errno == ENXIO && ::fstatat(m_folder, m_name, &status, 0) == 0 && S_ISFIFO(status.st_mode);
            return fifo ? Fail(report, ConversionFailure::OutputWrite, m_path, "no process is reading from it")
                        : FailWith(report, m_path, errno);
        }
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
        const bool written = WriteAll(descriptor, data, size);
        const int error = errno;
        if (::close(descriptor) != 0 && written) {
            return FailWith(report, m_path, errno);
        }
        return written ? 0 : FailWith(report, m_path, error);
    }
    case Kind::Replace:
    case Kind::Create:
        break;
    }

    if (Check(report) != 0) {
        return -1;
    }
    const char* folderText = *m_folderText != '\0' ? m_folderText : ".";
    TemporaryCleanup cleanup(m_folder);
    const int descriptor = cleanup.Create(m_kind == Kind::Replace ? 0600 : 0666);
    if (descriptor < 0) {
        return Fail(report, ConversionFailure::OutputFolder, folderText, std::strerror(errno));
    }
    bool ok = true;
    if (m_kind == Kind::Replace) {
        // The owner only root can give away; the group whoever belongs to it.
        if (::geteuid() == 0) {
            ok = ::fchown(descriptor, m_owner, m_group) == 0;
        } else if (::fchown(descriptor, static_cast<uid_t>(-1), m_group) != 0) {
            // not one of the user's groups: the file takes the user's own
        }
        ok = ok && ::fchmod(descriptor, m_mode) == 0;
    }
    // On disk before the rename, so that a power cut leaves the old file or the new one.
    ok = ok && WriteAll(descriptor, data, size) && ::fsync(descriptor) == 0;
    int error = errno;
    if (::close(descriptor) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && !TemporaryCleanup::Keep(m_name)) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        TemporaryCleanup::Remove();
        return FailWith(report, m_path, error);
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const bool flushed = ::fsync(folder) == 0;
        error = errno;
        ::close(folder);
        if (!flushed) {
            return Fail(report, ConversionFailure::OutputFlush, m_path, std::strerror(error));
        }
    }
    return 0;
}

int ReadSmallFile(const char* path, std::size_t limit, std::string& contents)
{
    contents.clear();
    const int descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status {};
    int result = ::fstat(descriptor, &status) != 0 ? -1 : (S_ISREG(status.st_mode) ? 0 : 1);
    while (result == 0) {
        char buffer[4096];
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            result = got < 0 ? -1 : 0;
            break;
        }
        if (contents.size() + static_cast<std::size_t>(got) > limit) {
            result = 1;
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    const int error = errno;
    ::close(descriptor);
    if (result != 0) {
        contents.clear();
    }
    errno = error;
    return result;
}

std::FILE* OpenPreset(const char* path)
{
    return std::fopen(path, "rb");
}

}  // namespace t2tk
