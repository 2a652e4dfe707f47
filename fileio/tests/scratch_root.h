// Where tests keep files that a user other than the one running them must reach: the user
// `AsUnprivileged` becomes. Standalone (no SDK, no test framework), so that every test support
// header can use it.
#ifndef ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H
#define ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace zeqtest {

// True when every folder from the root down to path (as far as it exists) lets others pass, so
// that another user can reach what is made below it.
inline bool OthersCanPass(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(path, ec);
    if (ec) return false;
    for (;; folder = folder.parent_path()) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0) return false;
        if (folder == folder.parent_path()) return true;
    }
}

// The user a test running as root becomes (zeqtest::kUnprivileged in test_users.h): nobody.
inline constexpr uid_t kTestUser = 65534;

// Gives folder (this process's, mode 0700) an access list that lets the test user pass it and no one
// else: written as the system stores it (the attribute system.posix_acl_access), so that this header
// needs no library. False where the file system keeps no such list.
inline bool LetOnlyTheTestUserPass(const std::string& folder) {
    struct Entry {
        std::uint16_t mTag, mPermissions;
        std::uint32_t mId;
    };
    // The system's tags (user, named user, group, mask, others), in the order it wants them.
    constexpr std::uint32_t kVersion = 2, kNoId = ~0u;
    const Entry entries[] = {{0x01, 7, kNoId}, {0x02, 1, kTestUser}, {0x04, 0, kNoId}, {0x10, 1, kNoId}, {0x20, 0, kNoId}};
    std::string value(reinterpret_cast<const char*>(&kVersion), sizeof(kVersion));
    value.append(reinterpret_cast<const char*>(entries), sizeof(entries));
    return ::setxattr(folder.c_str(), "system.posix_acl_access", value.data(), value.size(), 0) == 0;
}

// The folder every fresh folder of this process lies in under root (made on first use and removed,
// with what is in it, when the process ends): tests open folders to the test user (0777, a sticky
// 01777, that user's own), and only that user may pass this one, so that no other user of the
// machine may enter them, plant a name in them or list them. Where the file system keeps no access
// list it is root's alone: the tests that need the test user skip, saying that user cannot reach the
// folder. Run by another user than root, it is that user's alone.
inline const std::filesystem::path& GateUnder(const std::filesystem::path& root) {
    struct Gate {
        Gate(const std::filesystem::path& root, const std::filesystem::path& path)
            : mRoot(root), mPath(path), mMaker(::getpid()) {}
        Gate(const Gate&) = delete;
        Gate& operator=(const Gate&) = delete;
        std::filesystem::path mRoot, mPath;
        pid_t mMaker;
        ~Gate() {
            std::error_code ec;
            if (::getpid() == mMaker) std::filesystem::remove_all(mPath, ec);
        }
    };
    static std::vector<std::unique_ptr<Gate>> gates;
    for (const auto& gate : gates)
        if (gate->mRoot == root) return gate->mPath;
    std::filesystem::create_directories(root);
    std::string name = (root / "tests-XXXXXX").string();
    if (!::mkdtemp(name.data()))
        throw std::filesystem::filesystem_error("no fresh folder", name, std::error_code(errno, std::generic_category()));
    if (::geteuid() == 0) LetOnlyTheTestUserPass(name);
    gates.push_back(std::make_unique<Gate>(root, std::filesystem::canonical(name)));
    return gates.back()->mPath;
}

// The folder tests make their own folders in: ZEQ_TEST_TMP (under the build folder), else the
// system's temporary folder. With forOtherUsers, the first of ZEQ_TEST_TMP, TMPDIR and /tmp that
// another user can reach: a checkout in a private folder (a fresh clone in a private temporary
// folder, a home folder of mode 0700) would otherwise keep that user out and its tests skipped.
// Either way, this process's folder there that only the test user may pass (GateUnder).
inline std::filesystem::path ScratchRoot(bool forOtherUsers = false) {
    const char* configured = std::getenv("ZEQ_TEST_TMP");
    std::error_code ec;
    const std::filesystem::path system = std::filesystem::temp_directory_path(ec);
    for (const std::filesystem::path& candidate :
         {configured && *configured ? std::filesystem::path(configured) : std::filesystem::path(),
          ec ? std::filesystem::path() : system, std::filesystem::path("/tmp")}) {
        if (candidate.empty()) continue;
        if (!forOtherUsers) return GateUnder(candidate);
        std::filesystem::create_directories(candidate, ec);
        if (OthersCanPass(candidate)) return GateUnder(candidate);
    }
    return GateUnder("/tmp");
}

// A folder made fresh under parent (made first where missing): prefix and six characters no one
// can predict (mkdtemp), so that a name made in advance, by anyone, is never taken as found. It
// belongs to this process's user, and others may pass it and list it but never write in it,
// whatever the umask; what a test needs beyond that it sets itself. Its path is the one the
// system resolves it to, free of links (a checkout or a scratch folder reached through a linked
// folder): what a test names in it is what the SDK, which resolves every path, names.
inline std::filesystem::path MakeFreshFolder(const std::filesystem::path& parent, const std::string& prefix) {
    std::filesystem::create_directories(parent);
    std::string name = (parent / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(name.data()))
        throw std::filesystem::filesystem_error("no fresh folder", name, std::error_code(errno, std::generic_category()));
    if (::chmod(name.c_str(), 0755) != 0)
        throw std::filesystem::filesystem_error("no fresh folder", name, std::error_code(errno, std::generic_category()));
    return std::filesystem::canonical(name);
}
// The whole regular file at path, "" for anything else: a link is not followed (another user's,
// in a folder a test opened to them, would lead anywhere) and a named pipe is not waited on.
inline std::string ReadRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return "";
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char block[65536];
        for (ssize_t n; (n = ::read(fd, block, sizeof(block))) > 0;) text.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// One process's fresh folder (MakeFreshFolder under ScratchRoot, named by the first caller's
// prefix), removed with what is in it when the process ends: for tests whose files need no folder
// of each test's own.
inline const std::filesystem::path& ProcessScratchFolder(const std::string& prefix) {
    struct Folder {
        std::filesystem::path mPath;
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(mPath, ec);
        }
    };
    static const Folder folder{MakeFreshFolder(ScratchRoot(), prefix)};
    return folder.mPath;
}

}  // namespace zeqtest

#endif
