// The port lock on Linux: flock() on a file named after the port, in a folder
// of the user's own, /tmp/t2tk-<uid> (mode 0700, checked to be the user's, as
// terminal multiplexers keep theirs), the same whatever the environment says.
// The kernel releases the lock when its holder ends, however it ends; a holder
// that ends normally removes the file too.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "send/port_lock.h"

namespace t2tk::send {

namespace {

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

std::string FolderPath()
{
    return "/tmp/t2tk-" + std::to_string(static_cast<unsigned>(::geteuid()));
}

// The user's own folder for locks, made when missing; -1 with the reason.
int LockFolder(std::string& why)
{
    const uid_t user = ::geteuid();
    const std::string folderPath = FolderPath();
    const char* path = folderPath.c_str();
    const std::string named = "the lock folder " + folderPath;
    if (::mkdir(path, 0700) != 0 && errno != EEXIST) {
        why = "cannot make " + named + ": " + std::strerror(errno);
        return -1;
    }
    // Whose it is, told without going in: another user's may not let us.
    struct stat seen {};
    int folder = -1;
    if (::lstat(path, &seen) != 0) {
        why = named + ": " + std::strerror(errno);
    } else if (S_ISLNK(seen.st_mode)) {
        why = named + " is a link, not a folder of yours: remove it";
    } else if (!S_ISDIR(seen.st_mode)) {
        why = named + " is not a folder: remove it";
    } else if (seen.st_uid != user) {
        why = named + " belongs to another user (" + std::to_string(seen.st_uid) + "): remove it, or ask who made it";
    } else if (struct stat opened {};
               (folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) < 0 ||
               ::fstat(folder, &opened) != 0 || opened.st_ino != seen.st_ino || opened.st_dev != seen.st_dev) {
        why = named + " changed while it was looked at";
    } else if ((opened.st_mode & 077) != 0 && ::fchmod(folder, 0700) != 0) {
        why = named + " is open to other users";
    } else {
        return folder;
    }
    if (folder >= 0) {
        ::close(folder);
    }
    return -1;
}

// Wakes a wait for the lock when its file may have been let go, or when a
// stop is asked for. Its holder closes the file however it ends, and removes
// it when it ends normally; both wake the wait, as does anyone else who opens
// and closes it, after which the waiter simply tries again. Watched from
// before the first try, so that no letting go is missed; no time limit and no
// signal is relied on: a stop asked for by a thread that a busy machine runs
// late still ends the wait.
class LetGo {
public:
    LetGo(const std::string& path, const std::stop_token& stop)
        : m_watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          m_stop(stop)
    {
        m_watching = m_watch >= 0 && ::inotify_add_watch(m_watch, path.c_str(), IN_CLOSE_WRITE | IN_ATTRIB |
                                                                                     IN_DELETE_SELF | IN_MOVE_SELF) >= 0;
        m_woken.emplace(stop, [this] {
            const std::uint64_t one = 1;
            (void)!::write(m_wake, &one, sizeof one);
        });
    }
    ~LetGo()
    {
        m_woken.reset();  // before what it writes to goes
        for (const int descriptor : {m_watch, m_wake}) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }
    LetGo(const LetGo&) = delete;
    LetGo& operator=(const LetGo&) = delete;

    // Waits for the next change; false when a stop came. Where the system
    // gives no watch (too many in use), it looks again each second instead.
    bool Wait()
    {
        pollfd ready[2] = {{m_watching ? m_watch : -1, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (!m_stop.stop_requested()) {
            ::poll(ready, 2, m_watching && m_wake >= 0 ? -1 : 1000);  // a signal's handler ends it too
        }
        char events[4096];
        while (m_watching && ::read(m_watch, events, sizeof events) > 0) {
        }
        return !m_stop.stop_requested();
    }

private:
    int m_watch;
    int m_wake;
    bool m_watching = false;
    std::stop_token m_stop;
    std::optional<std::stop_callback<std::function<void()>>> m_woken;
};

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
            return Fail("cannot open the lock file " + FolderPath() + "/" + name + ": " + std::strerror(error));
        }
        struct stat held {};
        if (::fstat(descriptor, &held) != 0 || held.st_uid != ::geteuid() || !S_ISREG(held.st_mode)) {
            ::close(descriptor);
            ::close(folder);
            return Fail("the lock file " + FolderPath() + "/" + name + " is not this user's file: remove it");
        }
        // Tried without blocking, and again each time the file may have been let go.
        std::optional<LetGo> letGo;
        if (wait) {
            letGo.emplace(FolderPath() + "/" + name, stop);
        }
        bool stopped = stop.stop_requested();
        int locked = -1;
        while (!stopped && (locked = ::flock(descriptor, LOCK_EX | LOCK_NB)) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK || !letGo) {
                break;
            }
            stopped = !letGo->Wait();
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
