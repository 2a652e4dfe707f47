#ifndef ZEQ_FILEIO_TESTS_KPIPEWATCHDOG_H
#define ZEQ_FILEIO_TESTS_KPIPEWATCHDOG_H

// Tests only: a reader that opens a named pipe nobody writes waits for ever.
// RunsWithoutWaitingOn runs body and, should it still run after a long wait
// (kLongWait: a body on a loaded machine is slow, and may look at the pipe
// meanwhile without waiting on it), opens the pipe's writing end again and
// again, which lets a waiting open return (its reads then meet the end): a
// test that expects the pipe refused fails instead of hanging.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fileio/tests/kwaits.h"

namespace zeqtest {

// False when body needed the release: it waited on the pipe. Once a body of a
// test waited, that test has failed: its later bodies are released at once,
// so that a test of many ends within its time.
inline bool RunsWithoutWaitingOn(const std::string& pipe, const std::function<void()>& body) {
    static const ::testing::TestInfo* failedTest = nullptr;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::chrono::seconds patience =
        test != nullptr && test == failedTest ? std::chrono::seconds(0) : kLongWait;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool released = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished.wait_for(lock, patience, [&] { return done; })) return;
        while (!done) {
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                released = true;
                ::close(fd);
            }
            finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; });
        }
    });
    body();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    if (released) failedTest = test;
    return !released;
}

}  // namespace zeqtest

#endif
