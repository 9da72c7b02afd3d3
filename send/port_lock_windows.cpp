// The port lock on Windows: a named mutex of the session, named after the
// port. The system releases it when its holder ends, however it ends.
#include <windows.h>

#include <cstdio>

#include "convert/utf16.h"
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

std::unique_ptr<PortLock> LockPort(const std::string& key, bool wait, std::string& failure)
{
    unsigned long long hash = 14695981039346656037ULL;  // FNV-1a of the key: a name of its own per port
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\t2tk-send-%016llx", hash);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) {
        failure = "cannot take turns at the MIDI port (error " + std::to_string(::GetLastError()) + ")";
        return nullptr;
    }
    const DWORD waited = ::WaitForSingleObject(mutex, wait ? INFINITE : 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {  // abandoned: its holder ended
        ::CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex);
}

}  // namespace t2tk::send
