// The port lock on Linux: flock() on a file named after the port, in the
// user's runtime folder (or in /tmp, named after the user too). The kernel
// releases it when its holder ends, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "send/port_lock.h"

namespace t2tk::send {

namespace {

class FileLock : public PortLock {
public:
    explicit FileLock(int descriptor) : m_descriptor(descriptor) {}
    ~FileLock() override { ::close(m_descriptor); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_descriptor;
};

// FNV-1a, enough to give every port a file name of its own.
unsigned long long Hash(const std::string& text)
{
    unsigned long long hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

}  // namespace

std::unique_ptr<PortLock> LockPort(const std::string& key, bool wait, std::string& failure)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    char path[256];
    if (runtime != nullptr && runtime[0] == '/' && std::strlen(runtime) < 128) {
        std::snprintf(path, sizeof path, "%s/t2tk-send-%016llx.lock", runtime, Hash(key));
    } else {
        std::snprintf(path, sizeof path, "/tmp/t2tk-send-%u-%016llx.lock", static_cast<unsigned>(::geteuid()), Hash(key));
    }
    const int descriptor = ::open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || status.st_uid != ::geteuid() || !S_ISREG(status.st_mode)) {
        failure = std::string("cannot take turns at the MIDI port: \"") + path + "\" " +
                  (descriptor < 0 ? std::strerror(errno) : "is not this user's file");
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return nullptr;
    }
    while (::flock(descriptor, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno != EINTR) {
            if (errno != EWOULDBLOCK) {
                failure = std::string("cannot take turns at the MIDI port: ") + std::strerror(errno);
            }
            ::close(descriptor);
            return nullptr;
        }
    }
    return std::make_unique<FileLock>(descriptor);
}

}  // namespace t2tk::send
