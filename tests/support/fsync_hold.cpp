// A preload library for the process tests: the first fsync() of a process
// waits until the test lets it go, so that the test can act while the writer
// is in the middle of a write (send a signal, rename a folder) without any
// race against time. T2TK_HOLD_FSYNC names a folder with two FIFOs: "held",
// where a line says the write is being held, and "go", which the test writes
// to when the write may go on. A signal that comes meanwhile is handled as
// it would be in the middle of a real fsync().
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

extern "C" int fsync(int descriptor)
{
    static bool held = false;
    const char* folder = std::getenv("T2TK_HOLD_FSYNC");
    if (!held && folder != nullptr) {
        held = true;
        const std::string base(folder);
        const int said = ::open((base + "/held").c_str(), O_WRONLY | O_CLOEXEC);
        if (said >= 0) {
            (void)!::write(said, "held\n", 5);
            ::close(said);
        }
        const int go = ::open((base + "/go").c_str(), O_RDONLY | O_CLOEXEC);
        char byte = 0;
        while (go >= 0 && ::read(go, &byte, 1) < 0 && errno == EINTR) {
        }
        if (go >= 0) {
            ::close(go);
        }
    }
    using Real = int (*)(int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fsync"));
    return real(descriptor);
}
