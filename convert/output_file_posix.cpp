// The output writer on POSIX systems: no allocation, and nothing but system calls
// between the temporary file's creation and its rename or removal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/output_file.h"

namespace t2tk {

namespace {

// The temporary file of a replacement in progress, so that a signal that ends
// the process takes it away.
char g_temporary[kPathCapacity];
volatile sig_atomic_t g_haveTemporary = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
bool g_handled[3];

extern "C" void RemoveTemporaryAndEnd(int signal)
{
    if (g_haveTemporary != 0) {
        ::unlink(g_temporary);
    }
    for (int i = 0; i < 3; ++i) {
        if (kEndingSignals[i] == signal) {
            ::sigaction(signal, &g_previous[i], nullptr);
        }
    }
    ::raise(signal);  // delivered as before once this handler returns
}

void BlockEndingSignals(sigset_t* previous)
{
    sigset_t block;
    sigemptyset(&block);
    for (const int signal : kEndingSignals) {
        sigaddset(&block, signal);
    }
    ::sigprocmask(SIG_BLOCK, &block, previous);
}

// Catches the ending signals that are not ignored, for as long as it lives.
class TemporaryCleanup {
public:
    TemporaryCleanup()
    {
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i) {
            ::sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
            g_handled[i] = g_previous[i].sa_handler != SIG_IGN;
            if (g_handled[i]) {
                ::sigaction(kEndingSignals[i], &action, nullptr);
            }
        }
    }
    ~TemporaryCleanup()
    {
        sigset_t previous;
        BlockEndingSignals(&previous);
        g_haveTemporary = 0;
        for (int i = 0; i < 3; ++i) {
            if (g_handled[i]) {
                ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
            }
        }
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    }
    TemporaryCleanup(const TemporaryCleanup&) = delete;
    TemporaryCleanup& operator=(const TemporaryCleanup&) = delete;

    // A new file of a random name in folder; its name in g_temporary. A short
    // name of its own, so that any output name the folder takes works.
    int Create(const char* folder)
    {
        sigset_t previous;
        BlockEndingSignals(&previous);
        int descriptor = -1;
        const int length = std::snprintf(g_temporary, sizeof g_temporary, "%s/.t2tk-XXXXXX", folder);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof g_temporary) {
            errno = ENAMETOOLONG;
        } else {
            descriptor = mkstemp(g_temporary);
            g_haveTemporary = descriptor >= 0 ? 1 : 0;
        }
        const int error = errno;
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        errno = error;
        return descriptor;
    }
    // Renames the temporary file to path, with the ending signals held back so
    // that no handler can take it away once it has its name; false with errno set.
    bool Keep(const char* path)
    {
        sigset_t previous;
        BlockEndingSignals(&previous);
        const bool kept = ::rename(g_temporary, path) == 0;
        const int error = errno;
        g_haveTemporary = kept ? 0 : 1;
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        errno = error;
        return kept;
    }
    void Remove()
    {
        ::unlink(g_temporary);
        g_haveTemporary = 0;
    }
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

// Writes everything, through interruptions and short writes; false with errno set.
bool WriteAll(int descriptor, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The folder part of path: "." for a bare name, "/" for one in the root.
void FolderOf(const char* path, char* folder, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::snprintf(folder, size, ".");
    } else if (slash == path) {
        std::snprintf(folder, size, "/");
    } else {
        std::snprintf(folder, size, "%.*s", static_cast<int>(slash - path), path);
    }
}

// A link in a world-writable sticky folder (/tmp, say) that neither the caller
// nor the folder's owner owns may have been planted to redirect the output.
bool IsPlantedLink(const char* link, const struct stat& status)
{
    char folder[kPathCapacity];
    FolderOf(link, folder, sizeof folder);
    struct stat folderStatus {};
    if (::stat(folder, &folderStatus) != 0) {
        return false;
    }
    const bool shared = (folderStatus.st_mode & S_ISVTX) != 0 && (folderStatus.st_mode & S_IWOTH) != 0;
    return shared && status.st_uid != ::geteuid() && status.st_uid != folderStatus.st_uid;
}

// Follows the links of path to the name they end at, in target. Returns 0, or
// -1 with the reason in report.
int FollowLinks(const char* path, char* target, std::size_t size, ConversionReport* report)
{
    std::snprintf(target, size, "%s", path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(target, &status) != 0 || !S_ISLNK(status.st_mode)) {
            return 0;
        }
        if (IsPlantedLink(target, status)) {
            return Fail(report, ConversionFailure::OutputLink, target,
                        "it is a link that another user owns in a shared folder");
        }
        char next[kPathCapacity];
        const ssize_t length = ::readlink(target, next, sizeof next - 1);
        if (length < 0) {
            return FailWith(report, path, errno);
        }
        next[length] = '\0';
        char folder[kPathCapacity];
        FolderOf(target, folder, sizeof folder);
        const int joined = next[0] == '/' ? std::snprintf(target, size, "%s", next)
                                          : std::snprintf(target, size, "%s/%s", folder, next);
        if (joined < 0 || static_cast<std::size_t>(joined) >= size) {
            return FailWith(report, path, ENAMETOOLONG);
        }
    }
    return FailWith(report, path, ELOOP);
}

// A device or FIFO: written as it is. A FIFO is opened without waiting for a
// reader, so that one nobody reads fails at once instead of hanging.
int WriteInPlace(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    const int descriptor = ::open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENXIO ? Fail(report, ConversionFailure::OutputWrite, path, "no process is reading from it")
                              : FailWith(report, path, errno);
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    const bool written = WriteAll(descriptor, data, size);
    const int error = errno;
    if (::close(descriptor) != 0 && written) {
        return FailWith(report, path, errno);
    }
    return written ? 0 : FailWith(report, path, error);
}

// Writes a new file beside path and renames it over path; existing: the file
// there now, or null when there is none.
int Replace(const char* path, const struct stat* existing, const std::uint8_t* data, std::size_t size,
            ConversionReport* report)
{
    char folder[kPathCapacity];
    FolderOf(path, folder, sizeof folder);
    TemporaryCleanup cleanup;
    const int descriptor = cleanup.Create(folder);
    if (descriptor < 0) {
        return Fail(report, ConversionFailure::OutputFolder, folder, std::strerror(errno));
    }
    bool ok = true;
    if (existing != nullptr) {
        if (::geteuid() == 0) {
            ok = ::fchown(descriptor, existing->st_uid, existing->st_gid) == 0;
        }
        ok = ok && ::fchmod(descriptor, existing->st_mode & 07777) == 0;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(descriptor, 0666 & ~mask) == 0;
    }
    // On disk before the rename, so that a power cut leaves the old file or the new one.
    ok = ok && WriteAll(descriptor, data, size) && ::fsync(descriptor) == 0;
    int error = errno;
    if (::close(descriptor) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && !cleanup.Keep(path)) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        cleanup.Remove();
        return FailWith(report, path, error);
    }
    const int folderDescriptor = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);  // the rename itself
        ::close(folderDescriptor);
    }
    return 0;
}

}  // namespace

bool NamesStandardOutput(const char* path)
{
    if (std::strcmp(path, "-") == 0) {
        return true;
    }
    struct stat output {};
    struct stat named {};
    return ::fstat(STDOUT_FILENO, &output) == 0 && ::stat(path, &named) == 0 && output.st_dev == named.st_dev &&
           output.st_ino == named.st_ino;
}

int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    if (NamesStandardOutput(path)) {
        std::fflush(stdout);
        return WriteAll(STDOUT_FILENO, data, size) ? 0 : FailWith(report, path, errno);
    }
    char target[kPathCapacity];
    if (FollowLinks(path, target, sizeof target, report) != 0) {
        return -1;
    }
    struct stat status {};
    if (::stat(target, &status) != 0) {
        return Replace(target, nullptr, data, size, report);
    }
    if (!S_ISREG(status.st_mode)) {
        return WriteInPlace(target, data, size, report);
    }
    if (::faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) != 0) {
        return Fail(report, ConversionFailure::OutputWrite, path, "it is read-only");
    }
    return Replace(target, &status, data, size, report);
}

std::FILE* OpenPreset(const char* path)
{
    return std::fopen(path, "rb");
}

// One stat() of the output and one fstat() of each preset already open.
OutputIdentity::OutputIdentity(const char* outputPath)
{
    struct stat status {};
    if (::stat(outputPath, &status) == 0) {
        m_exists = true;
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
}

bool OutputIdentity::Matches(const char* /*path*/, std::FILE* file) const
{
    struct stat status {};
    return m_exists && ::fstat(fileno(file), &status) == 0 && status.st_dev == m_device && status.st_ino == m_inode;
}

}  // namespace t2tk
