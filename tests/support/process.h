#pragma once
// Programs the tests start: the MIDI receiver, JACK servers, t2tk-convert.

#include <sys/types.h>

#include <string>
#include <vector>

namespace t2tk::test {

// Where a started program's streams go: a descriptor, else /dev/null; and
// the folder it starts in.
struct Streams {
    int input = -1;
    int output = -1;
    int error = -1;
    std::string folder{};
};

// Starts arguments[0] (looked up in PATH); its process id, or -1.
pid_t Spawn(std::vector<std::string> arguments, const Streams& streams = {});
// Waits for it to end: its exit status, or -1 when a signal ended it.
int Finish(pid_t pid);

}  // namespace t2tk::test
