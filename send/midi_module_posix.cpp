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
    static Maker maker = nullptr;  // once found, the module stays loaded
    if (maker == nullptr) {
        std::vector<std::string> candidates;
        if (const char* chosen = std::getenv("T2TK_MIDI_MODULE"); chosen != nullptr && *chosen != '\0') {
            candidates.emplace_back(chosen);
        } else {
            const std::string folder = ExecutableFolder();
            candidates = {folder + "/libt2tk-midi.so", folder + "/" T2TK_MODULE_FROM_PROGRAMS "/libt2tk-midi.so"};
        }
        // The first failure that is not a missing file says most: a module
        // that is there but broken.
        std::string reason;
        bool reasonIsMissing = true;
        for (const std::string& candidate : candidates) {
            std::string why;
            if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                maker = reinterpret_cast<Maker>(::dlsym(module, "t2tk_new_midi_system"));
                if (maker != nullptr) {
                    break;
                }
                why = candidate + " has no entry point t2tk_new_midi_system";
                ::dlclose(module);
            } else {
                why = ::dlerror();
            }
            const bool missing = ::access(candidate.c_str(), F_OK) != 0;
            if (reason.empty() || (reasonIsMissing && !missing)) {
                reason = why;
                reasonIsMissing = missing;
            }
        }
        if (maker == nullptr) {
            failure = "cannot load the MIDI module: " + reason;
            return nullptr;
        }
    }
    return std::unique_ptr<MidiSystem>(maker());
}

}  // namespace t2tk::send
