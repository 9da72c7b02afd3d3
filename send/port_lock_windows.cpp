// The port lock on Windows: a named mutex of the session, named after the
// port. The system releases it when its holder ends, however it ends.
#include <windows.h>

#include <cstdio>

#include "send/port_lock.h"

namespace t2tk::send {

namespace {

class MutexLock : public PortLock {
public:
    explicit MutexLock(HANDLE mutex) : m_mutex(mutex) {}
    ~MutexLock() override
    {
        ::ReleaseMutex(m_mutex);
        ::CloseHandle(m_mutex);
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    HANDLE m_mutex;
};

}  // namespace

LockResult LockPort(const std::string& key, bool wait, const std::stop_token& stop)
{
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\t2tk-send-%016llx", PortLockHash(key));
    LockResult result;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) {
        result.failure = "cannot take turns at the MIDI port (error " + std::to_string(::GetLastError()) + ")";
        return result;
    }
    // A stop (Ctrl-C) ends the wait: it sets this event.
    HANDLE stopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD waited = WAIT_FAILED;
    {
        const std::stop_callback onStop(stop, [stopped] { ::SetEvent(stopped); });
        const HANDLE handles[2] = {mutex, stopped};
        waited = ::WaitForMultipleObjects(stopped != nullptr ? 2 : 1, handles, FALSE, wait ? INFINITE : 0);
    }
    if (stopped != nullptr) {
        ::CloseHandle(stopped);
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0) {  // abandoned: its holder ended
        result.lock = std::make_unique<MutexLock>(mutex);
        return result;
    }
    ::CloseHandle(mutex);
    result.stopped = waited == WAIT_OBJECT_0 + 1;
    result.busy = !result.stopped;
    return result;
}

}  // namespace t2tk::send
