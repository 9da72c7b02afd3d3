#include "tests/support/process.h"

#include <fcntl.h>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace t2tk::test {

pid_t Spawn(std::vector<std::string> arguments, const Streams& streams)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int descriptors[] = {streams.input, streams.output, streams.error};
    for (int to = 0; to < 3; ++to) {
        if (descriptors[to] >= 0) {
            posix_spawn_file_actions_adddup2(&actions, descriptors[to], to);
        } else {
            posix_spawn_file_actions_addopen(&actions, to, "/dev/null", to == 0 ? O_RDONLY : O_WRONLY, 0);
        }
    }
    if (!streams.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, streams.folder.c_str());
    }
    // Every signal as a new process from a shell has it: a suite run in the
    // background (with &, by nohup) would pass on SIGINT or SIGHUP ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Finish(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace t2tk::test
