#include "files/ending_signals.h"

#include <pthread.h>

#include <iterator>

namespace t2tk {

namespace {

sigset_t SetOf(const int* signals, std::size_t count)
{
    sigset_t set;
    sigemptyset(&set);
    for (std::size_t i = 0; i < count; ++i) {
        sigaddset(&set, signals[i]);
    }
    return set;
}

}  // namespace

sigset_t EndingSignals()
{
    static constexpr int kSignals[] = {
        SIGHUP,  SIGINT,    SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF,
#ifdef SIGPOLL
        SIGPOLL,
#endif
#ifdef SIGPWR
        SIGPWR,
#endif
#ifdef SIGSTKFLT
        SIGSTKFLT,
#endif
    };
    sigset_t set = SetOf(kSignals, std::size(kSignals));
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        sigaddset(&set, signal);
    }
#endif
    return set;
}

sigset_t FaultSignals()
{
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};
    return SetOf(kSignals, std::size(kSignals));
}

sigset_t TakenSignals()
{
    sigset_t set = EndingSignals();
    const sigset_t faults = FaultSignals();
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&faults, signal) == 1) {
            sigaddset(&set, signal);
        }
    }
    return set;
}

void HandleSignals(const sigset_t& set, const struct sigaction& action, PreviousActions& previous)
{
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&set, signal) == 1 && ::sigaction(signal, nullptr, &previous.actions[signal]) == 0 &&
            previous.actions[signal].sa_handler != SIG_IGN) {
            previous.handled[signal] = ::sigaction(signal, &action, nullptr) == 0;
        }
    }
}

void RestoreSignals(PreviousActions& previous)
{
    for (int signal = 1; signal < NSIG; ++signal) {
        if (previous.handled[signal]) {
            ::sigaction(signal, &previous.actions[signal], nullptr);
            previous.handled[signal] = false;
        }
    }
}

EndingSignalsBlocked::EndingSignalsBlocked()
{
    const sigset_t taken = TakenSignals();
    ::pthread_sigmask(SIG_BLOCK, &taken, &m_previous);
}

EndingSignalsBlocked::~EndingSignalsBlocked()
{
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

}  // namespace t2tk
