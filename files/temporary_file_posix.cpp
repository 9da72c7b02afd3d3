#include "files/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/random.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
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
char g_temporaryName[16];
PreviousActions g_previous;

std::mutex g_turn;  // one replacement at a time
std::once_flag g_handlersPlaced;

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
        // The name is known to the handler the moment the file has it.
        const EndingSignalsBlocked held;
        std::memcpy(g_temporaryName, ".t2tk-", 6);
        for (int i = 0; i < 6; ++i) {
            g_temporaryName[6 + i] = kLetters[random[i] % (sizeof kLetters - 1)];
        }
        g_temporaryName[12] = '\0';
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

}  // namespace t2tk
