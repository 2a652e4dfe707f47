#ifndef ZEQ_FILEIO_TESTS_KOPENWATCH_H
#define ZEQ_FILEIO_TESTS_KOPENWATCH_H

// Tests only: sees every open of a file (IN_OPEN), a non-blocking one too, which a
// reader of a named pipe that waits (RunsWithoutWaitingOn) never notices. O_PATH
// opens, which open nothing of the file's, are not seen.

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace zeqtest {

class OpenWatch {
public:
    explicit OpenWatch(const std::string& path)
        : mFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          mWatch(mFd >= 0 ? ::inotify_add_watch(mFd, path.c_str(), IN_OPEN) : -1) {}
    ~OpenWatch() {
        if (mFd >= 0) ::close(mFd);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool Ready() const { return mWatch >= 0; }
    // True when the file was opened since the watch began or the last call.
    bool Opened() {
        bool opened = false;
        alignas(inotify_event) char events[4096];
        for (ssize_t size; (size = ::read(mFd, events, sizeof(events))) > 0;) {
            for (char* at = events; at < events + size;) {
                inotify_event event;
                std::memcpy(&event, at, sizeof(event));
                opened = opened || (event.mask & IN_OPEN) != 0;
                at += sizeof(inotify_event) + event.len;
            }
        }
        return opened;
    }

private:
    int mFd;
    int mWatch;
};

}  // namespace zeqtest

#endif
