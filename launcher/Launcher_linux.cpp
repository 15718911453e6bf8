#include "launcher/Launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace mMain {

std::string StartDetached(const std::filesystem::path& program) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // Own session: the agent outlives the launcher and any terminal it was started from.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? std::string() : std::string(std::strerror(rc));
}

} // namespace mMain
