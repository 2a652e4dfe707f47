#include "fileio/kfilereplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace {

const char* DirectoryOrRoot(const KString& directory) { return directory.IsEmpty() ? "/" : directory.Buffer(); }

// How long a temporary whose lock is free must have been left unchanged before
// it counts as a dead writer's: a writer on another machine may hold a lock
// that is not seen here.
constexpr std::time_t kStaleAge = 24 * 60 * 60;

// The rest of a name after "<file>.tmp": TemporaryName's "<pid>.<16 hex>".
bool IsTemporarySuffix(std::string_view rest) {
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 10 || rest[0] == '0') return false;
    for (std::size_t i = 0; i < dot; ++i)
        if (rest[i] < '0' || rest[i] > '9') return false;
    const std::string_view random = rest.substr(dot + 1);
    if (random.size() != 16) return false;
    for (const char c : random)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the temporary name in dir when no writer holds it and none has
// changed it for kStaleAge.
void RemoveIfStale(int dir, const char* name) {
    struct stat named;
    if (::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode)) return;
    if (std::time(nullptr) - named.st_mtime < kStaleAge) return;
    // Locking for writing wants a descriptor open for writing on some file systems.
    int fd = ::openat(dir, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat open;
    // Under the lock, the name must still be the file locked.
    if (::fstat(fd, &open) == 0 && SameFile(open, named) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(open, named)) {
        ::unlinkat(dir, name, 0);
    }
    ::close(fd);
}

}  // namespace

KString KFileReplacement::TemporaryName(const KString& path) {
    std::random_device device;
    const std::uint64_t random = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(random));
    const std::string suffix = ".tmp" + std::to_string(::getpid()) + "." + hex;
    return path + KString(suffix.c_str());
}

int KFileReplacement::CreateTemporary(const KString& file, KString& temporary) {
    temporary = TemporaryName(file);
    const int fd = ::open(temporary.Buffer(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (!PrepareTemporary(fd, file)) {
        const int code = errno;
        ::unlink(temporary.Buffer());
        ::close(fd);
        errno = code;
        return -1;
    }
    return fd;
}

bool KFileReplacement::PrepareTemporary(int descriptor, const KString& file) {
    // A file system without locks leaves the temporary to its writer alone
    // (RemoveIfStale cannot lock it either).
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    struct stat st;
    if (::stat(file.Buffer(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    // Only root, or an owner choosing among its groups, may: the rest keep theirs.
    if (::fchown(descriptor, st.st_uid, st.st_gid) != 0) ::fchown(descriptor, static_cast<uid_t>(-1), st.st_gid);
    return ::fchmod(descriptor, st.st_mode & 07777) == 0;
}

void KFileReplacement::RemoveStaleTemporaries(const KString& path) {
    const KString directory = ExtractDirectoryFromFilePath(path.Buffer());
    const std::string prefix = std::string(ExtractFileName(path.Buffer()).Buffer()) + ".tmp";
    DIR* dir = ::opendir(DirectoryOrRoot(directory));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            IsTemporarySuffix(name.substr(prefix.size()))) {
            RemoveIfStale(::dirfd(dir), entry->d_name);
        }
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
            // Refused as opening it for writing would be (root may).
            if (::faccessat(AT_FDCWD, full.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
                code = errno;
                error = (std::string("Cannot write ") + Quoted(given.Buffer()) + ": " + std::strerror(code)).c_str();
                return false;
            }
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
    mSystemError = 0;
    KString file;
    if (!ResolveTarget(target, file, mError, &mSystemError)) return false;
    RemoveStaleTemporaries(file);
    KString temporary;
    const int fd = CreateTemporary(file, temporary);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        mSystemError = errno;
        mError = (std::string("Cannot create a file beside ") + Quoted(file.Buffer()) + ": " +
                  std::strerror(mSystemError))
                     .c_str();
        if (fd >= 0) {
            ::unlink(temporary.Buffer());
            ::close(fd);
        }
        return false;
    }
    // The writer opens the temporary by its name: this process, its owner,
    // needs to read and write it meanwhile (which shows nothing to others).
    mFinalMode = -1;
    const mode_t mode = st.st_mode & 07777;
    if (st.st_uid == ::geteuid() && (mode & 0600) != 0600 && ::fchmod(fd, mode | 0600) == 0)
        mFinalMode = static_cast<int>(mode);
    mTarget = MakeFullPath(KGetCurrentDirectory().Buffer(), target);
    mFile = file;
    mTemporary = temporary;
    mDescriptor = fd;
    return true;
}

bool KFileReplacement::Commit() {
    if (!IsActive()) {
        mError = "Nothing to replace";
        mSystemError = 0;
        return false;
    }
    // The content reaches the disk before it takes the name.
    bool ok = ::fsync(mDescriptor) == 0 &&
              (mFinalMode < 0 || ::fchmod(mDescriptor, static_cast<mode_t>(mFinalMode)) == 0);
    int error = ok ? 0 : errno;
    // What took the name meanwhile is checked again: only a regular file goes.
    if (ok && !CanReplace(mFile, mError)) {
        mSystemError = 0;
        Discard();
        return false;
    }
    if (ok && std::rename(mTemporary.Buffer(), mFile.Buffer()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        mError = (std::string("Cannot replace ") + Quoted(mFile.Buffer()) + ": " + std::strerror(error)).c_str();
        mSystemError = error;
        Discard();
        return false;
    }
    // The lock goes with the name it guarded.
    ::close(mDescriptor);
    mDescriptor = -1;
    mTemporary = "";
    mError = "";
    mSystemError = 0;
    SyncDirectoryOf(mFile);
    return true;
}

void KFileReplacement::Discard() {
    if (IsActive()) ::unlink(mTemporary.Buffer());
    if (mDescriptor >= 0) ::close(mDescriptor);
    mDescriptor = -1;
    mTemporary = "";
}

}  // namespace zeqsdk_400
