#pragma once
// One sender per port: a lock that t2tk processes share, named after the port,
// released when its holder ends, however it ends.

#include <memory>
#include <string>

namespace t2tk::send {

class PortLock {
public:
    virtual ~PortLock() = default;
};

// Takes the lock of the port that key names; waits for it when wait is set.
// Null when another t2tk holds it and wait is not set (failure stays empty),
// or with the reason when no lock can be made.
std::unique_ptr<PortLock> LockPort(const std::string& key, bool wait, std::string& failure);

}  // namespace t2tk::send
