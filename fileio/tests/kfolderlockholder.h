#ifndef ZEQ_FILEIO_TESTS_KFOLDERLOCKHOLDER_H
#define ZEQ_FILEIO_TESTS_KFOLDERLOCKHOLDER_H

// Tests only: another user holding a folder's lock, as any user who may read
// the folder can, for as long as they like.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "fileio/tests/fileio_test_support.h"

namespace zeqtest {

// Another process, of another user where this one is root, that holds a shared
// lock on a folder until it is let go (or this process ends), however long what
// the test does takes: what was done meanwhile was done while the lock was held.
class FolderLockHolder {
public:
    explicit FolderLockHolder(const std::string& folder) {
        int ready[2], release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0) return;
        mChild = ::fork();
        if (mChild == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 ||
                                     ::setresgid(zeqtest::kUnprivileged, zeqtest::kUnprivileged, zeqtest::kUnprivileged) != 0 ||
                                     ::setresuid(zeqtest::kUnprivileged, zeqtest::kUnprivileged, zeqtest::kUnprivileged) != 0))
                ::_exit(2);
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0 || ::flock(fd, LOCK_SH) != 0 || ::write(ready[1], "r", 1) != 1) ::_exit(2);
            // Let go when the writing end closes: by the destructor, or as this process ends.
            struct pollfd told = {release[0], POLLIN, 0};
            while (::poll(&told, 1, -1) < 0 && errno == EINTR) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        char signal = 0;
        mHolding = mChild > 0 && ::read(ready[0], &signal, 1) == 1;
        ::close(ready[0]);
        mRelease = release[1];
    }
    ~FolderLockHolder() {
        if (mRelease >= 0) ::close(mRelease);
        if (mChild > 0) ::waitpid(mChild, nullptr, 0);
    }
    FolderLockHolder(const FolderLockHolder&) = delete;
    FolderLockHolder& operator=(const FolderLockHolder&) = delete;

    bool Holding() const { return mHolding; }

private:
    pid_t mChild = -1;
    int mRelease = -1;
    bool mHolding = false;
};

// True while another holds a lock on folder.
inline bool LockedByAnother(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (fd >= 0) ::close(fd);
    return locked;
}

}  // namespace zeqtest

#endif
