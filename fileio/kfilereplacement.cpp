#include "fileio/kfilereplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace {

const char* DirectoryOrRoot(const KString& directory) { return directory.IsEmpty() ? "/" : directory.Buffer(); }

}  // namespace

KString KFileReplacement::TemporaryName(const KString& path) {
    std::random_device device;
    const std::uint64_t random = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(random));
    const std::string suffix = ".tmp" + std::to_string(::getpid()) + "." + hex;
    return path + KString(suffix.c_str());
}

void KFileReplacement::RemoveStaleTemporaries(const KString& path) {
    const KString directory = ExtractDirectoryFromFilePath(path.Buffer());
    const std::string prefix = std::string(ExtractFileName(path.Buffer()).Buffer()) + ".tmp";
    DIR* dir = ::opendir(DirectoryOrRoot(directory));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        long pid = 0;
        const char* digits = entry->d_name + prefix.size();
        const auto parsed = std::from_chars(digits, entry->d_name + name.size(), pid);
        if (parsed.ec != std::errc() || parsed.ptr == digits || *parsed.ptr != '.' || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void KFileReplacement::SyncDirectoryOf(const KString& path) {
    const int fd = ::open(DirectoryOrRoot(ExtractDirectoryFromFilePath(path.Buffer())), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

KFileReplacement::~KFileReplacement() { Discard(); }

bool KFileReplacement::Begin(const char* target) {
    Discard();
    if (!target || !*target) return false;
    const KString path = MakeFullPath(KGetCurrentDirectory().Buffer(), target);
    // Only a regular file is replaced: a directory, device or pipe of that name
    // stays what it is.
    struct stat st;
    if (::stat(path.Buffer(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
    RemoveStaleTemporaries(path);
    const KString temporary = TemporaryName(path);
    const int fd = ::open(temporary.Buffer(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    mTarget = path;
    mTemporary = temporary;
    return true;
}

bool KFileReplacement::Commit() {
    if (!IsActive()) return false;
    // The content reaches the disk before it takes the name.
    const int fd = ::open(mTemporary.Buffer(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    struct stat st;
    if (ok && ::stat(mTarget.Buffer(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (ok) ok = std::rename(mTemporary.Buffer(), mTarget.Buffer()) == 0;
    if (!ok) {
        Discard();
        return false;
    }
    mTemporary = "";
    SyncDirectoryOf(mTarget);
    return true;
}

void KFileReplacement::Discard() {
    if (IsActive()) ::unlink(mTemporary.Buffer());
    mTemporary = "";
}

}  // namespace zeqsdk_400
