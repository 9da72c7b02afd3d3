#include "tests/support/process.h"

#include <fcntl.h>
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
    const struct {
        int descriptor, to, flags;
        const char* file;
    } ways[] = {
        {streams.input, 0, O_RDONLY, "/dev/null"},
        {streams.output, 1, O_WRONLY, "/dev/null"},
        {streams.error, 2, O_WRONLY | O_CREAT | O_TRUNC, streams.errorFile.empty() ? "/dev/null" : streams.errorFile.c_str()},
    };
    for (const auto& way : ways) {
        if (way.descriptor >= 0) {
            posix_spawn_file_actions_adddup2(&actions, way.descriptor, way.to);
        } else {
            posix_spawn_file_actions_addopen(&actions, way.to, way.file, way.flags, 0600);
        }
    }
    if (!streams.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, streams.folder.c_str());
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
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
