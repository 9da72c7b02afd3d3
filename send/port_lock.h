#pragma once
// One sender per port: a lock that t2tk processes share, named after the port,
// released when its holder ends, however it ends.

#include <memory>
#include <stop_token>
#include <string>

namespace t2tk::send {

class PortLock {
public:
    virtual ~PortLock() = default;
};

struct LockResult {
    std::unique_ptr<PortLock> lock;
    bool busy = false;     // another t2tk holds it, and there was no waiting
    bool stopped = false;  // a stop came while waiting for it
    std::string failure;   // why no lock can be made, when that is why there is none
};

// Takes the lock of the port that key names; waits for it when wait is set,
// until a stop (one asked for before, or one that a signal brings).
LockResult LockPort(const std::string& key, bool wait, const std::stop_token& stop);

// FNV-1a of the key: a name of its own for every port's lock.
inline unsigned long long PortLockHash(const std::string& key)
{
    unsigned long long hash = 14695981039346656037ULL;
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

}  // namespace t2tk::send
