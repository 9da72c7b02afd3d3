// The port lock on Linux: flock() on a file named after the port, in a folder
// of the user's own, /tmp/t2tk-<uid> (mode 0700, checked to be the user's, as
// terminal multiplexers keep theirs), the same whatever the environment says.
// The kernel releases the lock when its holder ends, however it ends; a holder
// that ends normally removes the file too.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "send/port_lock.h"

namespace t2tk::send {

namespace {

using namespace std::chrono_literals;

class FileLock : public PortLock {
public:
    FileLock(int folder, int descriptor, std::string name)
        : m_folder(folder), m_descriptor(descriptor), m_name(std::move(name))
    {
    }
    ~FileLock() override
    {
        // Removed while still held: whoever waits on it finds it gone and
        // takes a new one, so that no two ever hold one each.
        ::unlinkat(m_folder, m_name.c_str(), 0);
        ::close(m_descriptor);
        ::close(m_folder);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_folder;
    int m_descriptor;
    std::string m_name;
};

LockResult Fail(const std::string& why)
{
    LockResult result;
    result.failure = "cannot take turns at the MIDI port: " + why;
    return result;
}

// The user's own folder for locks, made when missing; -1 with the reason.
int LockFolder(std::string& why)
{
    const uid_t user = ::geteuid();
    char path[64];
    std::snprintf(path, sizeof path, "/tmp/t2tk-%u", static_cast<unsigned>(user));
    if (::mkdir(path, 0700) != 0 && errno != EEXIST) {
        why = std::string("cannot make \"") + path + "\": " + std::strerror(errno);
        return -1;
    }
    // Whose it is, told without going in: another user's may not let us.
    struct stat named {};
    int folder = -1;
    if (::lstat(path, &named) != 0) {
        why = std::string("\"") + path + "\": " + std::strerror(errno);
    } else if (!S_ISDIR(named.st_mode)) {
        why = std::string("\"") + path + "\" is not a folder";
    } else if (named.st_uid != user) {
        why = std::string("\"") + path + "\" belongs to another user (" + std::to_string(named.st_uid) +
              "); remove it, or ask who made it";
    } else if (struct stat opened {};
               (folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) < 0 ||
               ::fstat(folder, &opened) != 0 || opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
        why = std::string("\"") + path + "\" changed while it was looked at";
    } else if ((opened.st_mode & 077) != 0 && ::fchmod(folder, 0700) != 0) {
        why = std::string("\"") + path + "\" is open to other users";
    } else {
        return folder;
    }
    if (folder >= 0) {
        ::close(folder);
    }
    return -1;
}

// A signal stopped the wait; the stop it brings is asked for by another
// thread, which is given a moment for it.
bool StopFollows(const std::stop_token& stop)
{
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);  // cppcheck-suppress localMutex
    return stopped.wait_for(lock, stop, 1s, [] { return false; }) || stop.stop_requested();
}

}  // namespace

LockResult LockPort(const std::string& key, bool wait, const std::stop_token& stop)
{
    std::string why;
    const int folder = LockFolder(why);
    if (folder < 0) {
        return Fail(why);
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.lock", PortLockHash(key));
    for (;;) {
        const int descriptor = ::openat(folder, name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            const int error = errno;
            ::close(folder);
            return Fail(std::string("\"") + name + "\": " + std::strerror(error));
        }
        struct stat held {};
        if (::fstat(descriptor, &held) != 0 || held.st_uid != ::geteuid() || !S_ISREG(held.st_mode)) {
            ::close(descriptor);
            ::close(folder);
            return Fail(std::string("\"") + name + "\" in the lock folder is not this user's file");
        }
        bool stopped = stop.stop_requested();
        int locked = stopped ? -1 : 0;
        while (!stopped && (locked = ::flock(descriptor, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
            if ((stopped = stop.stop_requested() || StopFollows(stop))) {
                break;
            }
        }
        const int error = errno;
        struct stat named {};
        if (locked == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            LockResult result;
            result.lock = std::make_unique<FileLock>(folder, descriptor, name);
            return result;
        }
        ::close(descriptor);
        if (locked == 0) {
            continue;  // its holder removed it as we got it: the next one is a new file
        }
        ::close(folder);
        if (!stopped && error != EWOULDBLOCK) {
            return Fail(std::strerror(error));
        }
        LockResult result;
        result.busy = !stopped;
        result.stopped = stopped;
        return result;
    }
}

}  // namespace t2tk::send
