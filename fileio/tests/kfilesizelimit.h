#ifndef ZEQ_FILEIO_TESTS_KFILESIZELIMIT_H
#define ZEQ_FILEIO_TESTS_KFILESIZELIMIT_H

// Tests only: makes every write of this process past a file size fail with
// EFBIG, as a full device would, while the guard lives (SIGXFSZ ignored so
// that the write reports the failure instead of ending the process).

#include <signal.h>
#include <sys/resource.h>

namespace zeqtest {

class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &mSaved);
        mHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = mSaved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &mSaved);
        ::signal(SIGXFSZ, mHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit mSaved{};
    void (*mHandler)(int) = nullptr;
};

}  // namespace zeqtest

#endif
