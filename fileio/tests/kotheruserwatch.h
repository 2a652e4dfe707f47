#ifndef ZEQ_FILEIO_TESTS_KOTHERUSERWATCH_H
#define ZEQ_FILEIO_TESTS_KOTHERUSERWATCH_H

// Tests only: another user who may list a folder watches it (inotify) while a
// writer works there, and tries to open every file the moment its name is
// made, for reading and for writing, as such a user could to get at a file
// before it is complete. The watch is another process, of kUnprivileged, so
// only a test running as root has one.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/tests/fileio_test_support.h"

namespace zeqtest {

struct OtherUserWatch {
    // The names made in the folder while it was watched, in order.
    std::vector<std::string> mCreated;
    // Those the watcher could open, each with how ("read" or "write").
    std::vector<std::string> mOpened;
    // The watcher could open a file of the folder that everybody may read:
    // what it was refused, it was refused for the file's own sake.
    bool mControlOpened = false;
    // Events were lost: what was made was not all seen.
    bool mOverflow = false;

    // How many of the names made hold part (".tmp" for temporaries).
    int CreatedWith(const std::string& part) const {
        int count = 0;
        for (const std::string& name : mCreated) count += name.find(part) != std::string::npos ? 1 : 0;
        return count;
    }
};

namespace otheruserwatch {

// Opens every name of the events in buffer, noting them in watch.
inline void Look(const std::string& directory, const char* buffer, ssize_t length, OtherUserWatch& watch) {
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) watch.mOverflow = true;
        if (event->len == 0 || (event->mask & IN_ISDIR)) continue;
        const std::string name(event->name);
        const std::string path = directory + "/" + name;
        for (const auto& [flags, how] : {std::pair<int, const char*>{O_RDONLY, "read"}, {O_WRONLY, "write"}}) {
            const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) continue;
            ::close(fd);
            watch.mOpened.push_back(name + " (" + how + ")");
        }
        watch.mCreated.push_back(name);
    }
}

inline bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The watcher's side: answers its report as lines, or exits 77 when it cannot watch.
[[noreturn]] inline void Watch(const std::string& directory, const std::string& control, int ready, int stop,
                               int report) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kUnprivileged, kUnprivileged, kUnprivileged) != 0 ||
        ::setresuid(kUnprivileged, kUnprivileged, kUnprivileged) != 0)
        ::_exit(77);
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (events < 0 || ::inotify_add_watch(events, directory.c_str(), IN_CREATE) < 0) ::_exit(77);
    OtherUserWatch watch;
    const int fd = ::open(control.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    watch.mControlOpened = fd >= 0;
    if (fd >= 0) ::close(fd);
    if (::write(ready, "r", 1) != 1) ::_exit(3);
    alignas(inotify_event) char buffer[64 * 1024];
    // Spins rather than waits: a file is looked at as soon after its name is made as can be.
    for (bool stopping = false;;) {
        const ssize_t length = ::read(events, buffer, sizeof(buffer));
        if (length > 0) {
            Look(directory, buffer, length, watch);
            continue;
        }
        // Once told to stop, what is queued is still looked at.
        if (stopping) break;
        struct pollfd told = {stop, POLLIN, 0};
        stopping = ::poll(&told, 1, 0) > 0;
    }
    std::string text = std::string(watch.mControlOpened ? "control\n" : "") + (watch.mOverflow ? "overflow\n" : "");
    for (const std::string& name : watch.mCreated) text += "created " + name + "\n";
    for (const std::string& name : watch.mOpened) text += "opened " + name + "\n";
    ::_exit(WriteAll(report, text) ? 0 : 3);
}

}  // namespace otheruserwatch

// Runs body while kUnprivileged watches directory (which it must be able to
// list), and answers what the watcher saw; nothing when this process is not
// root or the watcher cannot watch there.
inline std::optional<OtherUserWatch> WatchedByAnotherUser(const std::string& directory,
                                                          const std::function<void()>& body) {
    if (::geteuid() != 0) return std::nullopt;
    // A file any user may read, made before the watch starts.
    const std::string control = directory + "/watch-control";
    WriteFile(control, "readable by all");
    if (::chmod(control.c_str(), 0644) != 0) return std::nullopt;
    int ready[2], stop[2], report[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(stop, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        ::close(stop[1]);
        ::close(report[0]);
        otheruserwatch::Watch(directory, control, ready[1], stop[0], report[1]);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    ::close(report[1]);
    char signal = 0;
    const bool watching = child > 0 && ::read(ready[0], &signal, 1) == 1;
    ::close(ready[0]);
    if (watching) body();
    ::close(stop[1]);
    const std::string text = ReadToEnd(report[0]);
    int status = 0;
    const bool ended = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status);
    ::unlink(control.c_str());
    if (!watching || !ended || WEXITSTATUS(status) != 0) return std::nullopt;
    OtherUserWatch watch;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "control") watch.mControlOpened = true;
        if (line == "overflow") watch.mOverflow = true;
        if (line.rfind("created ", 0) == 0) watch.mCreated.push_back(line.substr(8));
        if (line.rfind("opened ", 0) == 0) watch.mOpened.push_back(line.substr(7));
    }
    return watch;
}

// Fails unless the watch saw at least least names holding part made, could
// open the control file and lost nothing, and opened none of those names.
inline testing::AssertionResult NoneOpened(const std::optional<OtherUserWatch>& watch, const std::string& part,
                                           int least) {
    if (!watch) return testing::AssertionFailure() << "no watch";
    if (!watch->mControlOpened) return testing::AssertionFailure() << "the watcher cannot open what all may read";
    if (watch->mOverflow) return testing::AssertionFailure() << "the watch lost events";
    if (watch->CreatedWith(part) < least)
        return testing::AssertionFailure() << "the watch saw " << watch->CreatedWith(part) << " names with \"" << part
                                           << "\" made, fewer than " << least;
    std::vector<std::string> opened;
    for (const std::string& name : watch->mOpened)
        if (name.find(part) != std::string::npos) opened.push_back(name);
    if (opened.empty()) return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << "opened by another user (" << watch->CreatedWith(part) << " made):";
    for (const std::string& name : opened) failure << " " << name;
    return failure;
}

}  // namespace zeqtest

#endif
