#ifndef ZEQ_BENCH_BENCHCHILD_H
#define ZEQ_BENCH_BENCHCHILD_H

// A benchmark program run again as a child, for figures only a fresh process gives (the peak
// resident size of one read). No shell: the arguments and the settings reach the child as they
// are, whatever characters a path in them holds.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace zeqbench {

// Runs this program with arguments (after its name) and settings ("NAME=value", in place of any
// the environment has of that name), its standard output discarded; true when it exited with 0.
inline bool RunThisProgramAgain(const std::vector<std::string>& arguments, const std::vector<std::string>& settings) {
    std::vector<char*> argv{const_cast<char*>(program_invocation_name)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& s : settings) envp.push_back(const_cast<char*>(s.c_str()));
    for (char** e = environ; *e; ++e) {
        bool overridden = false;
        for (const std::string& s : settings)
            overridden = overridden || std::strncmp(*e, s.c_str(), s.find('=') + 1) == 0;
        if (!overridden) envp.push_back(*e);
    }
    envp.push_back(nullptr);

    // The child's output goes into a pipe drained here, so that no file is named for it.
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    pid_t child = -1;
    const int error = ::posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    char discarded[4096];
    for (ssize_t n; error == 0 && ((n = ::read(output[0], discarded, sizeof discarded)) > 0 || (n < 0 && errno == EINTR));) {
    }
    ::close(output[0]);
    if (error != 0) return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zeqbench

#endif
