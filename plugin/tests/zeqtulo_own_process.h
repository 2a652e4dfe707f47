// A test run again, alone, in a process of its own: this program started anew with that test as its
// only one. What the test loads there meets nothing an earlier test of the run loaded.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace zeqtulotest {

// Names, in the process started for it, the one test it runs.
constexpr char kOwnProcess[] = "ZEQ_TEST_OWN_PROCESS";

inline std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

// True in the process started for the current test. It ends with the process that started it.
inline bool InAProcessOfItsOwn() {
    const char* name = std::getenv(kOwnProcess);
    if (!name || CurrentTestName() != name) return false;
    static const bool bound = ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0;
    (void)bound;
    return true;
}

struct Outcome {
    enum Kind { kPassed, kSkipped, kFailed } mKind = kFailed;
    // What the test printed (the reason it skipped, its failures).
    std::string mText;
};

// Runs the current test in a process of its own: its outcome there, read from what it printed.
inline Outcome RunAlone() {
    const std::string name = CurrentTestName();
    const std::string filter = "--gtest_filter=" + name, own = std::string(kOwnProcess) + "=" + name;
    std::vector<char*> argv{program_invocation_name, const_cast<char*>(filter.c_str()),
                            const_cast<char*>("--gtest_color=no"), nullptr};
    // The run's report and sharding are the caller's: the test alone writes no report of its own.
    std::vector<char*> envp{const_cast<char*>(own.c_str())};
    for (char** e = environ; *e; ++e) {
        const std::string setting = *e;
        const std::string key = setting.substr(0, setting.find('='));
        if (key != kOwnProcess && key != "GTEST_OUTPUT" && key != "GTEST_SHARD_INDEX" && key != "GTEST_TOTAL_SHARDS" &&
            key != "GTEST_FILTER")
            envp.push_back(*e);
    }
    envp.push_back(nullptr);

    Outcome outcome;
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        outcome.mText = std::string("no pipe for the test's own process: ") + std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    pid_t child = -1;
    const int error = ::posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string printed;
    char block[4096];
    for (ssize_t n; error == 0 && ((n = ::read(output[0], block, sizeof block)) > 0 || (n < 0 && errno == EINTR));)
        if (n > 0) printed.append(block, static_cast<std::size_t>(n));
    ::close(output[0]);
    if (error != 0) {
        outcome.mText = std::string("the test's own process did not start: ") + std::strerror(error);
        return outcome;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // Between its start line and its result line: its failures, or why it skipped.
    const std::size_t start = printed.find("[ RUN      ] " + name + "\n");
    const std::size_t body = start == std::string::npos ? 0 : start + name.size() + 14;
    const auto ended = [&](const char* mark) { return printed.find(std::string(mark) + name + " (", body); };
    const std::size_t passed = ended("[       OK ] "), skipped = ended("[  SKIPPED ] ");
    const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (start != std::string::npos && exited && passed != std::string::npos) {
        outcome.mKind = Outcome::kPassed;
    } else if (start != std::string::npos && exited && skipped != std::string::npos) {
        outcome.mKind = Outcome::kSkipped;
        // Its reason, after the line naming where it skipped.
        std::string reason = printed.substr(body, skipped - body);
        const std::size_t said = reason.find(": Skipped\n");
        if (said != std::string::npos) reason.erase(0, said + 10);
        while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) reason.pop_back();
        outcome.mText = reason;
    } else {
        outcome.mText = "in its own process (" +
                        (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                           : "signal " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0)) +
                        "):\n" + printed;
    }
    return outcome;
}

}  // namespace zeqtulotest
