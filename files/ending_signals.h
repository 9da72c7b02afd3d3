#pragma once
// The signals that end the process when nobody handles them, in one list: the
// output writer takes its temporary file away on each of them, and a send
// stops between two messages. POSIX systems only.
#ifndef _WIN32

#include <csignal>

namespace t2tk {

// Every signal whose default action ends the process and that comes from
// outside it (a terminal, a closed session, kill, a timer or a resource
// limit), the real-time signals among them. SIGKILL and SIGSTOP cannot be
// caught; SIGXFSZ is left out, since the writer turns a size limit into an
// error message instead.
sigset_t EndingSignals();

// The signals a fault of the process itself raises (SIGSEGV, SIGABRT, ...),
// which may come from outside too (kill -ABRT).
sigset_t FaultSignals();

// Both: every signal on which the writer takes its temporary file away.
sigset_t TakenSignals();

// What each signal did before a handler of ours was put on it, and whether one was.
struct PreviousActions {
    struct sigaction actions[NSIG];
    bool handled[NSIG];
};

// Puts action on each signal of set, noting in previous what was there; a
// signal the caller ignores (nohup, trap '' HUP) stays ignored.
void HandleSignals(const sigset_t& set, const struct sigaction& action, PreviousActions& previous);
// Puts back what HandleSignals replaced.
void RestoreSignals(PreviousActions& previous);

// Blocks those signals in the calling thread for as long as it lives.
// Threads started meanwhile inherit the block, so that a library's threads
// (JACK's, Qt's) leave the signals to the thread that handles them and writes
// the files; a fault of such a thread itself still ends the process.
class EndingSignalsBlocked {
public:
    EndingSignalsBlocked();
    ~EndingSignalsBlocked();
    EndingSignalsBlocked(const EndingSignalsBlocked&) = delete;
    EndingSignalsBlocked& operator=(const EndingSignalsBlocked&) = delete;

private:
    sigset_t m_previous;
};

}  // namespace t2tk

#endif
