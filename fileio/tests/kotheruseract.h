#ifndef ZEQ_FILEIO_TESTS_KOTHERUSERACT_H
#define ZEQ_FILEIO_TESTS_KOTHERUSERACT_H

// Tests only: another user of a shared folder acts at a fixed point of a
// replacement, every time, never in a race. OtherUserAct is a process of
// kUnprivileged that does its act on each path it is sent and answers when it
// is done; AtTemporaryNamed and AtBeforeRename call a test's function from the
// seams of zeqdetail::gReplacementSeams. Together:
//
//     zeqtest::OtherUserAct swapper([&](const std::string& path) { return unlink, symlink ...; });
//     if (!swapper.Started()) GTEST_SKIP() << "no other user";
//     const zeqtest::AtTemporaryNamed seam([&](const std::string& temporary) { swapper.ActOn(temporary); });
//     export ...;  // each temporary is swapped the moment it takes its name

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"

namespace zeqtest {

// A child process of kUnprivileged (this process must be root for one) that
// runs act on each path ActOn sends it, one at a time, while ActOn waits.
class OtherUserAct {
public:
    // act runs in the child, as kUnprivileged: true when it did what it is for.
    explicit OtherUserAct(const std::function<bool(const std::string& path)>& act) {
        if (::geteuid() != 0) return;
        // A socket rather than pipes: a child gone makes a send fail, not raise SIGPIPE here.
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
        mChild = ::fork();
        if (mChild == 0) {
            // Keeps no end of another child's socket, which then ends when this process closes it.
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != ends[1]) ::close(fd);
            Serve(act, ends[1]);
        }
        ::close(ends[1]);
        mSocket = ends[0];
        // The child says it is ready once it is the other user, or ends.
        char ready = 0;
        mStarted = mChild > 0 && ReadAll(mSocket, &ready, 1) && ready == 'r';
    }
    ~OtherUserAct() {
        // The child ends when its requests end.
        if (mSocket >= 0) ::close(mSocket);
        if (mChild > 0) ::waitpid(mChild, nullptr, 0);
    }
    OtherUserAct(const OtherUserAct&) = delete;
    OtherUserAct& operator=(const OtherUserAct&) = delete;

    bool Started() const { return mStarted; }
    // Has the other user act on path and waits until it is done: true when the
    // act answered true; false too when the child is gone.
    bool ActOn(const std::string& path) {
        const std::uint32_t length = static_cast<std::uint32_t>(path.size());
        mLastError = EPIPE;
        const bool answered = mStarted && SendAll(mSocket, &length, sizeof(length)) &&
                              SendAll(mSocket, path.data(), path.size()) &&
                              ReadAll(mSocket, &mLastError, sizeof(mLastError));
        if (!answered) mLastError = EPIPE;
        const bool acted = answered && mLastError == 0;
        mActs += acted ? 1 : 0;
        return acted;
    }
    // How many acts answered true.
    int Acts() const { return mActs; }
    // Why the last act answered false: the system's error number it left (-1 without
    // one; EPIPE when the child is gone); 0 after one that answered true.
    int LastError() const { return mLastError; }

private:
    static bool SendAll(int fd, const void* data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::send(fd, static_cast<const char*>(data) + done, size - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    static bool ReadAll(int fd, void* data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::read(fd, static_cast<char*>(data) + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    [[noreturn]] static void Serve(const std::function<bool(const std::string&)>& act, int fd) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kUnprivileged, kUnprivileged, kUnprivileged) != 0 ||
            ::setresuid(kUnprivileged, kUnprivileged, kUnprivileged) != 0 || !SendAll(fd, "r", 1))
            ::_exit(2);
        for (std::uint32_t length = 0; ReadAll(fd, &length, sizeof(length));) {
            std::string path(length, '\0');
            if (!ReadAll(fd, &path[0], length)) break;
            errno = 0;
            const int answer = act(path) ? 0 : (errno != 0 ? errno : -1);
            if (!SendAll(fd, &answer, sizeof(answer))) break;
        }
        ::_exit(0);
    }

    pid_t mChild = -1;
    int mSocket = -1;
    bool mStarted = false;
    int mActs = 0;
    int mLastError = 0;
};

// An act: opens what path names, for reading and for writing, as another user
// could to get at a file before it is complete (never through a link, never
// waiting on a pipe); true when either open succeeds.
inline bool OpensIt(const std::string& path) {
    for (const int access : {O_RDONLY, O_WRONLY}) {
        const int fd = ::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        ::close(fd);
        return true;
    }
    return false;
}

// While it lives, every temporary that takes its name calls call with that
// name (zeqdetail::gReplacementSeams.mTemporaryNamed). One at a time.
class AtTemporaryNamed {
public:
    explicit AtTemporaryNamed(std::function<void(const std::string& temporary)> call) {
        Call() = std::move(call);
        zeqsdk_400::zeqdetail::gReplacementSeams.mTemporaryNamed = [](const char* temporary) { Call()(temporary); };
    }
    ~AtTemporaryNamed() {
        zeqsdk_400::zeqdetail::gReplacementSeams.mTemporaryNamed = nullptr;
        Call() = nullptr;
    }
    AtTemporaryNamed(const AtTemporaryNamed&) = delete;
    AtTemporaryNamed& operator=(const AtTemporaryNamed&) = delete;

private:
    // The seam is a plain function pointer: what it calls lives here.
    static std::function<void(const std::string&)>& Call() {
        static std::function<void(const std::string&)> call;
        return call;
    }
};

// While it lives, every temporary about to be renamed to its file (every check
// done) calls call (zeqdetail::gReplacementSeams.mBeforeRename). One at a time.
class AtBeforeRename {
public:
    explicit AtBeforeRename(std::function<void(const std::string& temporary, const std::string& file)> call) {
        Call() = std::move(call);
        zeqsdk_400::zeqdetail::gReplacementSeams.mBeforeRename = [](const char* temporary, const char* file) {
            Call()(temporary, file);
        };
    }
    ~AtBeforeRename() {
        zeqsdk_400::zeqdetail::gReplacementSeams.mBeforeRename = nullptr;
        Call() = nullptr;
    }
    AtBeforeRename(const AtBeforeRename&) = delete;
    AtBeforeRename& operator=(const AtBeforeRename&) = delete;

private:
    static std::function<void(const std::string&, const std::string&)>& Call() {
        static std::function<void(const std::string&, const std::string&)> call;
        return call;
    }
};

// Another user who may list folder tries to open every temporary the moment
// it takes its name, while this lives (OpensIt at AtTemporaryNamed), as one
// who watched the folder could, before the content is written.
class OtherUserOpensTemporaries {
public:
    explicit OtherUserOpensTemporaries(const std::string& folder)
        : mControl(folder + "/opener-control"), mOpener(OpensIt), mSeam([this](const std::string& temporary) {
              mNamed.push_back(temporary);
              if (mOpener.ActOn(temporary)) mOpened.push_back(temporary);
          }) {
        // A file that everybody may read: what the other user is refused, it is
        // refused for the file's own sake.
        WriteFile(mControl, "readable by all");
        mStarted = mOpener.Started() && ::chmod(mControl.c_str(), 0644) == 0 && mOpener.ActOn(mControl);
        ::unlink(mControl.c_str());
    }
    OtherUserOpensTemporaries(const OtherUserOpensTemporaries&) = delete;
    OtherUserOpensTemporaries& operator=(const OtherUserOpensTemporaries&) = delete;

    // False where there is no other user to be (this process is not root).
    bool Started() const { return mStarted; }
    // The temporaries named while this lived, and those the other user opened.
    const std::vector<std::string>& Named() const { return mNamed; }
    const std::vector<std::string>& Opened() const { return mOpened; }
    // How many of the temporaries named hold part.
    int NamedWith(const std::string& part) const {
        int count = 0;
        for (const std::string& name : mNamed) count += name.find(part) != std::string::npos ? 1 : 0;
        return count;
    }

private:
    std::string mControl;
    std::vector<std::string> mNamed;
    std::vector<std::string> mOpened;
    OtherUserAct mOpener;
    AtTemporaryNamed mSeam;
    bool mStarted = false;
};

}  // namespace zeqtest

#endif
