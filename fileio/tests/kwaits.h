#ifndef ZEQ_FILEIO_TESTS_KWAITS_H
#define ZEQ_FILEIO_TESTS_KWAITS_H

// Tests only: how long a test waits for what takes a moment on an idle machine
// (a child to end, a call to return) before it calls it a hang. Minutes, as a
// loaded machine may need; a wait that polls ends as soon as what it waits for
// happens. Shorter than the script tests' waits (scripts/tests/scratch.py),
// which run some test cases, and than a test case's time in CTest.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <gtest/gtest.h>

namespace zeqtest {

constexpr std::chrono::seconds kLongWait(120);

// The child's status once it ended, waited for kLongWait at most: one that
// has not ended by then is killed, and the wait fails.
inline ::testing::AssertionResult ChildEnds(pid_t child, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + kLongWait;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) return ::testing::AssertionSuccess();
        if (ended < 0) return ::testing::AssertionFailure() << "no child to wait for: " << std::strerror(errno);
        if (std::chrono::steady_clock::now() >= deadline) break;
        ::usleep(100000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return ::testing::AssertionFailure() << "the child did not end within " << kLongWait.count()
                                         << " s; it was killed";
}

}  // namespace zeqtest

#endif
