// The MIDI module on Linux: RtMidi, ALSA and JACK live in libt2tk-midi.so,
// opened here only when a port is needed. It lies beside the programs in a
// build, and in the package's library folder once installed; the environment
// variable T2TK_MIDI_MODULE names another (the tests' own build).
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "send/midi_system.h"

namespace t2tk::send {

namespace {

std::string ExecutableFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return ".";
    }
    const std::string executable(path, static_cast<std::size_t>(length));
    return executable.substr(0, executable.rfind('/'));
}

}  // namespace

std::unique_ptr<MidiSystem> LoadMidiSystem(std::string& failure)
{
    using Maker = MidiSystem* (*)();
    static Maker maker = nullptr;
    static std::string missing;
    if (maker == nullptr && missing.empty()) {
        std::vector<std::string> candidates;
        if (const char* chosen = std::getenv("T2TK_MIDI_MODULE"); chosen != nullptr && *chosen != '\0') {
            candidates.emplace_back(chosen);
        } else {
            const std::string folder = ExecutableFolder();
            candidates = {folder + "/libt2tk-midi.so", folder + "/" T2TK_MODULE_FROM_PROGRAMS "/libt2tk-midi.so"};
        }
        for (const std::string& candidate : candidates) {
            if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                maker = reinterpret_cast<Maker>(::dlsym(module, "t2tk_new_midi_system"));
                break;
            }
            missing = ::dlerror();
        }
        if (maker == nullptr && missing.empty()) {
            missing = "the MIDI module has no entry point";
        }
    }
    if (maker == nullptr) {
        failure = "cannot load the MIDI module: " + missing;
        return nullptr;
    }
    return std::unique_ptr<MidiSystem>(maker());
}

}  // namespace t2tk::send
