#include "files/temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/random.h>
#endif

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "files/ending_signals.h"

namespace t2tk {

namespace {

// What a signal handler must reach: the temporary file (its folder and its
// name there, and whether it is there), and what each signal did before the
// handler was put in place. Written with the signals held back, read by the
// handler.
volatile sig_atomic_t g_haveTemporary = 0;
int g_temporaryFolder = -1;
char g_temporaryName[32];  // ".t2tk-", up to 10 digits, "-", 6 letters
PreviousActions g_previous;

std::mutex g_turn;  // one replacement at a time
std::once_flag g_handlersPlaced;

// The letters of a temporary file's name after its process id.
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Takes the temporary file away, then does what the signal did before: a
// handler of the program's own is called, a default action happens once this
// returns.
extern "C" void RemoveTemporaryAndGoOn(int signal, siginfo_t* info, void* context)
{
    const int error = errno;
    if (g_haveTemporary != 0) {
        ::unlinkat(g_temporaryFolder, g_temporaryName, 0);
        g_haveTemporary = 0;
    }
    const struct sigaction& previous = g_previous.actions[signal];
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_DFL) {
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);  // delivered, as before, once this handler returns
    } else if (previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    }
    errno = error;
}

void PlaceHandlers()
{
    struct sigaction action {};
    action.sa_sigaction = RemoveTemporaryAndGoOn;
    action.sa_flags = SA_SIGINFO;
    sigfillset(&action.sa_mask);
    HandleSignals(TakenSignals(), action, g_previous);
}

struct sigaction g_sizeLimit;  // SIGXFSZ as it was before the replacement

}  // namespace

TemporaryFile::TemporaryFile(int folder) : m_turn(g_turn)
{
    std::call_once(g_handlersPlaced, PlaceHandlers);
    g_temporaryFolder = folder;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &g_sizeLimit);
}

TemporaryFile::~TemporaryFile()
{
    {
        const EndingSignalsBlocked held;
        if (g_haveTemporary != 0) {
            ::unlinkat(g_temporaryFolder, g_temporaryName, 0);
            g_haveTemporary = 0;
        }
    }
    ::sigaction(SIGXFSZ, &g_sizeLimit, nullptr);
}

int TemporaryFile::Create(mode_t mode)
{
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
        // The name is known to the handler the moment the file has it.
        const EndingSignalsBlocked held;
        char letters[7] = {};
        for (int i = 0; i < 6; ++i) {
            letters[i] = kLetters[random[i] % (sizeof kLetters - 1)];
        }
        std::snprintf(g_temporaryName, sizeof g_temporaryName, ".t2tk-%ld-%s", static_cast<long>(::getpid()),
                      letters);
        const int descriptor = ::openat(g_temporaryFolder, g_temporaryName,
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
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

const char* TemporaryFile::name() const
{
    return g_temporaryName;
}

bool TemporaryFile::Remove()
{
    const EndingSignalsBlocked held;
    if (g_haveTemporary != 0 && ::unlinkat(g_temporaryFolder, g_temporaryName, 0) != 0) {
        return false;
    }
    g_haveTemporary = 0;
    return true;
}

bool TemporaryFile::RenameTo(const char* name)
{
    // Held back so that no handler takes the file once it has its name.
    const EndingSignalsBlocked held;
    const bool renamed = ::renameat(g_temporaryFolder, g_temporaryName, g_temporaryFolder, name) == 0;
    const int error = errno;
    g_haveTemporary = renamed ? 0 : 1;
    errno = error;
    return renamed;
}

namespace {

// The process id in a temporary file's name, or 0 when the name is none of ours.
pid_t ProcessOfTemporary(const char* name)
{
    constexpr std::size_t kPrefix = 6;  // ".t2tk-"
    constexpr std::size_t kLetterCount = 6;
    if (std::strncmp(name, ".t2tk-", kPrefix) != 0) {
        return 0;
    }
    long long process = 0;
    std::size_t at = kPrefix;
    for (; name[at] >= '0' && name[at] <= '9' && at < kPrefix + 10; ++at) {
        process = process * 10 + (name[at] - '0');
    }
    if (at == kPrefix || name[kPrefix] == '0' || name[at] != '-' || process > INT_MAX) {
        return 0;
    }
    const char* letters = name + at + 1;
    for (std::size_t i = 0; i < kLetterCount; ++i) {
        if (letters[i] == '\0' || std::strchr(kLetters, letters[i]) == nullptr) {
            return 0;
        }
    }
    return letters[kLetterCount] == '\0' ? static_cast<pid_t>(process) : 0;
}

}  // namespace

void RemoveStaleTemporaries(int folder)
{
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (entries == nullptr) {
        if (listed >= 0) {
            ::close(listed);
        }
        return;
    }
    const uid_t user = ::geteuid();
    // A stream of its own, which readdir walks safely (readdir_r is deprecated).
    while (const dirent* entry = ::readdir(entries)) {  // cppcheck-suppress readdirCalled
        const pid_t process = ProcessOfTemporary(entry->d_name);
        struct stat status {};
        if (process > 0 && ::kill(process, 0) != 0 && errno == ESRCH &&
            ::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == user && status.st_nlink == 1) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

}  // namespace t2tk
