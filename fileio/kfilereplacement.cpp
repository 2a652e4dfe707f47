#include "fileio/kfilereplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

namespace {

// As the kernel bounds a chain of links.
constexpr int kMostLinks = 40;

std::string Quoted(const char* path) { return std::string("\"") + path + "\""; }

}  // namespace

bool KFileReplacement::ResolveTarget(const char* target, KString& file, KString& error, int* systemError) {
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    code = 0;
    error = "";
    if (!target || !*target) {
        error = "No file name given";
        return false;
    }
    const KString given = MakeFullPath(KGetCurrentDirectory().Buffer(), target);
    std::string path(given.Buffer());
    for (int links = 0; links <= kMostLinks; ++links) {
        // The directory free of links, so that a link's relative text and the
        // final rename both go where the system would take them.
        const KString directory = ExtractDirectoryFromFilePath(path.c_str());
        const KString name = ExtractFileName(path.c_str());
        // Held so that memory running out while it is copied does not lose it.
        const std::unique_ptr<char, void (*)(void*)> real(::realpath(DirectoryOrRoot(directory), nullptr), std::free);
        if (!real) {
            code = errno;
            error = (std::string("Cannot write ") + Quoted(given.Buffer()) + ": " + std::strerror(code)).c_str();
            return false;
        }
        std::string full(real.get());
        if (full.back() != '/') full += '/';
        full += name.Buffer();
        struct stat st;
        if (name.IsEmpty() || ::lstat(full.c_str(), &st) != 0) {
            if (!name.IsEmpty() && errno == ENOENT) {
                // A new file, or the one a dangling link names.
                file = full.c_str();
                return true;
            }
            code = name.IsEmpty() ? EISDIR : errno;
            error = (std::string("Cannot write ") + Quoted(given.Buffer()) + ": " +
                     (name.IsEmpty() ? "it names a directory" : std::strerror(code)))
                        .c_str();
            return false;
        }
        if (S_ISREG(st.st_mode)) {
            file = full.c_str();
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            if (S_ISDIR(st.st_mode)) code = EISDIR;
            const std::string what = links > 0 ? "it links to " + Quoted(full.c_str()) + ", " : std::string("it is ");
            error = (Quoted(given.Buffer()) + " is not replaced: " + what + KFileKindOf(st.st_mode) + ", not a regular file")
                        .c_str();
            return false;
        }
        std::string text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(full.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) {
            error = (std::string("Cannot write ") + Quoted(given.Buffer()) + ": the link " + Quoted(full.c_str()) +
                     " cannot be read")
                        .c_str();
            return false;
        }
        text.resize(static_cast<std::size_t>(length));
        path = text.front() == '/' ? text : full.substr(0, full.rfind('/') + 1) + text;
    }
    code = ELOOP;
    error = (Quoted(given.Buffer()) + " is not replaced: too many levels of symbolic links").c_str();
    return false;
}

bool KFileReplacement::CanReplace(const KString& file, KString& error) {
    struct stat st;
    if (::lstat(file.Buffer(), &st) != 0 || S_ISREG(st.st_mode)) return true;
    error = (Quoted(file.Buffer()) + " is not replaced: it is now " + KFileKindOf(st.st_mode) + ", not a regular file").c_str();
    return false;
}

bool KFileReplacement::Begin(const char* target) {
    Discard();
    mError = "";
    KString file;
    if (!ResolveTarget(target, file, mError)) return false;
    RemoveStaleTemporaries(file);
    const KString temporary = TemporaryName(file);
    const int fd = ::open(temporary.Buffer(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        mError = (std::string("Cannot create a file beside ") + Quoted(file.Buffer()) + ": " + std::strerror(errno)).c_str();
        return false;
    }
    ::close(fd);
    mTarget = MakeFullPath(KGetCurrentDirectory().Buffer(), target);
    mFile = file;
    mTemporary = temporary;
    return true;
}

bool KFileReplacement::Commit() {
    if (!IsActive()) {
        mError = "Nothing to replace";
        return false;
    }
    // The content reaches the disk before it takes the name.
    const int fd = ::open(mTemporary.Buffer(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    struct stat st;
    if (ok && ::stat(mFile.Buffer(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    // What took the name meanwhile is checked again: only a regular file goes.
    if (ok && !CanReplace(mFile, mError)) {
        Discard();
        return false;
    }
    if (ok && std::rename(mTemporary.Buffer(), mFile.Buffer()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        mError = (std::string("Cannot replace ") + Quoted(mFile.Buffer()) + ": " + std::strerror(error)).c_str();
        Discard();
        return false;
    }
    mTemporary = "";
    mError = "";
    SyncDirectoryOf(mFile);
    return true;
}

void KFileReplacement::Discard() {
    if (IsActive()) ::unlink(mTemporary.Buffer());
    mTemporary = "";
}

}  // namespace zeqsdk_400
