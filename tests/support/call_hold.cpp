// A preload library for the process tests: a call of the writer waits until
// the test lets it go, so that the test can act in the middle of a write
// (send a signal, rename or swap a file) without any race against time.
// T2TK_HOLD names a folder with two FIFOs: "held", where a line says the call
// is being held, and "go", which the test writes to when it may go on. What
// is held, T2TK_HOLD_AT:
//   fsync             the first fsync(), before it flushes (the default)
//   after-open NAME   the first openat() of a name that begins with NAME, once it has opened
//   before-open NAME  the first openat() of a name that begins with NAME, before it opens
// A signal that comes meanwhile is handled as it would be in that call.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool g_held = false;

void Hold()
{
    g_held = true;
    const char* held = std::getenv("T2TK_HOLD");
    const std::string folder = held != nullptr ? held : ".";
    // Open before the test hears of the hold (and both ways, which never
    // waits): a word it writes at once then waits in the FIFO, however late
    // this process comes to read it.
    const int go = ::open((folder + "/go").c_str(), O_RDWR | O_CLOEXEC);
    const int said = ::open((folder + "/held").c_str(), O_WRONLY | O_CLOEXEC);
    if (said >= 0) {
        (void)!::write(said, "held\n", 5);
        ::close(said);
    }
    char byte = 0;
    while (go >= 0 && ::read(go, &byte, 1) < 0 && errno == EINTR) {
    }
    if (go >= 0) {
        ::close(go);
    }
}

// Whether the call at hand is the one to hold, and when: -1 before, 1 after, 0 not.
int Held(const char* call, const char* path)
{
    if (g_held || std::getenv("T2TK_HOLD") == nullptr) {
        return 0;
    }
    const char* at = std::getenv("T2TK_HOLD_AT");
    const std::string what = at != nullptr ? at : "fsync";
    if (what == call) {
        return -1;
    }
    const std::size_t space = what.find(' ');
    if (path == nullptr || space == std::string::npos || std::strcmp(call, "openat") != 0) {
        return 0;
    }
    const char* slash = std::strrchr(path, '/');
    const std::string name = slash != nullptr ? slash + 1 : path;
    if (name.rfind(what.substr(space + 1), 0) != 0) {
        return 0;
    }
    return what.compare(0, space, "before-open") == 0 ? -1 : what.compare(0, space, "after-open") == 0 ? 1 : 0;
}

}  // namespace

extern "C" int fsync(int descriptor)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    if (Held("fsync", nullptr) < 0) {
        Hold();
    }
    using Real = int (*)(int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fsync"));
    return real(descriptor);
}

extern "C" int openat(int folder, const char* path, int flags, ...)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);  // NOLINT(clang-analyzer-valist.Uninitialized): va_start is just above
        va_end(arguments);
    }
    const int when = Held("openat", path);
    if (when < 0) {
        Hold();
    }
    using Real = int (*)(int, const char*, int, ...);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "openat"));
    const int opened = real(folder, path, flags, mode);
    const int error = errno;
    if (when > 0) {
        Hold();
    }
    errno = error;
    return opened;
}
