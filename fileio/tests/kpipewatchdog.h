#ifndef ZEQ_FILEIO_TESTS_KPIPEWATCHDOG_H
#define ZEQ_FILEIO_TESTS_KPIPEWATCHDOG_H

// Tests only: a reader that opens a named pipe nobody writes waits for ever.
// RunsWithoutWaitingOn runs body and, should it still run after a while,
// opens the pipe's writing end again and again, which lets a waiting open
// return (its reads then meet the end): a test that expects the pipe refused
// fails instead of hanging.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zeqtest {

// False when body needed the release: it waited on the pipe.
inline bool RunsWithoutWaitingOn(const std::string& pipe, const std::function<void()>& body) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool released = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished.wait_for(lock, std::chrono::seconds(10), [&] { return done; })) return;
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
    return !released;
}

}  // namespace zeqtest

#endif
