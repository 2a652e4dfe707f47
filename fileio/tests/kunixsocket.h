#ifndef ZEQ_FILEIO_TESTS_KUNIXSOCKET_H
#define ZEQ_FILEIO_TESTS_KUNIXSOCKET_H

// Tests only: a Unix socket bound at a path, as a server leaves one in the
// file system, for the readers to refuse (opening it fails with ENXIO).

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace zeqtest {

class BoundUnixSocket {
public:
    explicit BoundUnixSocket(const std::string& path) : mFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (mFd < 0) return;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        // The address holds about a hundred bytes: a longer path is bound through
        // a descriptor of its directory.
        std::string where = path;
        int directory = -1;
        const std::size_t slash = path.rfind('/');
        if (path.size() >= sizeof(address.sun_path) && slash != std::string::npos) {
            directory = ::open(path.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            where = "/proc/self/fd/" + std::to_string(directory) + path.substr(slash);
        }
        if (where.size() < sizeof(address.sun_path)) {
            std::memcpy(address.sun_path, where.c_str(), where.size() + 1);
            mBound = ::bind(mFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        }
        if (directory >= 0) ::close(directory);
    }
    ~BoundUnixSocket() {
        if (mFd >= 0) ::close(mFd);
    }
    BoundUnixSocket(const BoundUnixSocket&) = delete;
    BoundUnixSocket& operator=(const BoundUnixSocket&) = delete;

    bool IsBound() const { return mBound; }

private:
    int mFd;
    bool mBound = false;
};

}  // namespace zeqtest

#endif
