// Where tests keep files that a user other than the one running them must reach: the user
// `AsUnprivileged` becomes. Standalone (no SDK, no test framework), so that every test support
// header can use it.
#ifndef ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H
#define ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

// The folder tests make their own folders in: ZEQ_TEST_TMP (under the build folder), else the
// system's temporary folder. With forOtherUsers, the first of ZEQ_TEST_TMP, TMPDIR and /tmp that
// another user can reach: a checkout in a private folder (a fresh clone in a private temporary
// folder, a home folder of mode 0700) would otherwise keep that user out and its tests skipped.
inline std::filesystem::path ScratchRoot(bool forOtherUsers = false) {
    const char* configured = std::getenv("ZEQ_TEST_TMP");
    std::error_code ec;
    const std::filesystem::path system = std::filesystem::temp_directory_path(ec);
    for (const std::filesystem::path& candidate :
         {configured && *configured ? std::filesystem::path(configured) : std::filesystem::path(),
          ec ? std::filesystem::path() : system, std::filesystem::path("/tmp")}) {
        if (candidate.empty()) continue;
        if (!forOtherUsers) return candidate;
        std::filesystem::create_directories(candidate, ec);
        if (OthersCanPass(candidate)) return candidate;
    }
    return "/tmp";
}

// Makes path (and what is missing above it) and lets others pass it and list it, whatever the
// umask; what a test needs beyond that it sets itself.
inline void MakeFolderOthersReach(const std::filesystem::path& path) {
    std::filesystem::create_directories(path);
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                     std::filesystem::perms::others_exec);
}

}  // namespace zeqtest

#endif
