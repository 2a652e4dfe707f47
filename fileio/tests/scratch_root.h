// Where tests keep files that a user other than the one running them must reach: the user
// `AsUnprivileged` becomes. Standalone (no SDK, no test framework), so that every test support
// header can use it.
#ifndef ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H
#define ZEQ_FILEIO_TESTS_SCRATCH_ROOT_H

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

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
