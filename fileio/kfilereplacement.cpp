#include "fileio/kfilereplacement.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace zeqdetail {
ZeqFileSystemLimits gFileSystemLimits;
ZeqReplacementSeams gReplacementSeams;
ZeqWalkCounter gWalkCounter;
}  // namespace zeqdetail

using zeqdetail::gFileSystemLimits;
using zeqdetail::gReplacementSeams;

namespace {

// The name of path (a temporary's) in its directory, which is the file's.
const char* NameIn(const KString& path) {
    const char* slash = std::strrchr(path.Buffer(), '/');
    return slash ? slash + 1 : path.Buffer();
}

// The held directory itself, open for reading: to list, lock or sync it.
int OpenDirectory(const KResolvedPath& file) {
    return ::openat(file.mDirectory.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

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
    // Only the user's own: a name of this form in a shared folder may be another user's file.
    if (::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
        named.st_uid != ::geteuid())
        return;
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

int KFileReplacement::CreateTemporary(const KResolvedPath& file, KString& temporary) {
    temporary = TemporaryName(file.mPath.c_str());
    // Private from its first moment: another user who may list the folder
    // could otherwise open it before it is complete and keep the descriptor.
    const int fd =
        ::openat(file.mDirectory.Get(), NameIn(temporary), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    // A file system without locks leaves the temporary to its writer alone
    // (RemoveIfStale cannot lock it either).
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
    if (fd >= 0 && gReplacementSeams.mTemporaryNamed) gReplacementSeams.mTemporaryNamed(temporary.Buffer());
    return fd;
}

int KFileReplacement::CreateUnnamedTemporary(const KResolvedPath& file) {
    if (gFileSystemLimits.mNoUnnamedFiles) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const int fd = ::openat(file.mDirectory.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Locked for when it is given a name just before it takes the file's.
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

void KFileReplacement::RemoveStaleTemporaries(const KResolvedPath& file) {
    const std::string prefix = file.mName + ".tmp";
    const int fd = OpenDirectory(file);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) ::close(fd);
        return;
    }
    // A group being put in place holds the directory (CommitTogether): old
    // content it may have to give back lies under a temporary's name meanwhile.
    if (::flock(::dirfd(dir), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::closedir(dir);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            IsTemporarySuffix(name.substr(prefix.size()))) {
            RemoveIfStale(::dirfd(dir), entry->d_name);
        }
    }
    ::closedir(dir);
}

void KFileReplacement::SyncDirectoryOf(const KResolvedPath& file) {
    const int fd = OpenDirectory(file);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

KFileReplacement::~KFileReplacement() { Discard(); }

namespace {

std::string Quoted(const char* path) { return std::string("\"") + path + "\""; }

// Why another user's file in a shared sticky folder is not replaced (the system's rule
// for such files where it is switched on, applied whatever the machine's setting).
constexpr const char* kOthersFile =
    "it is another user's file, in a sticky folder others may write, where only its owner or the folder's owner "
    "may replace it";


}  // namespace

namespace {

// Why another user's file in a shared sticky folder is not appended to (the log).
constexpr const char* kOthersFileAppended =
    "it is another user's, in a sticky folder others may write, and is not written to";

// What a file another user may have put under its name (KWhyFileIsNotTrusted) is not.
constexpr const char* kNotWrittenTo = " and is not written to";

// How a resolved file is to be written: replaced by a rename, appended to, or written where
// it lies (a section written back into a file that was read).
enum class EWrite { eReplace, eAppend, eInPlace };

// The permissions of a file the system writes, replaced or where it lies: those of mode, never
// its set-user-ID or set-group-ID bit (a program whose content changed keeps no one's rights).
mode_t WithoutSetIdBits(mode_t mode) { return mode & 07777 & ~(S_ISUID | S_ISGID); }

// What the system keeps from change in the file name in the directory at ("immutable",
// "append-only"), null for neither or where the file system does not say. Looked at,
// never opened.
const char* KeptFromChange(int at, const char* name) {
    struct statx attributes;
    if (::statx(at, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &attributes) != 0) return nullptr;
    const auto has = [&](std::uint64_t flag) {
        return (attributes.stx_attributes_mask & flag) != 0 && (attributes.stx_attributes & flag) != 0;
    };
    if (has(STATX_ATTR_IMMUTABLE)) return "immutable";
    if (has(STATX_ATTR_APPEND)) return "append-only";
    return nullptr;
}

// What a write to given, walked (walked: the walk's answer), replaces or appends to; as
// ResolveTarget. Every rule is applied here, before anything is opened, so that what is
// refused is said with the SDK's reason whatever the system's settings would refuse first.
bool ResolveWalked(KPathWalk& walk, bool walked, const std::string& given, KResolvedPath& file, KString& error,
                   int& code, KNamedBy namedBy, EWrite how = EWrite::eReplace) {
    const std::string cannot = "Cannot write " + Quoted(given.c_str()) + ": ";
    if (!walked) {
        code = walk.mCode;
        if (code == ELOOP && walk.mRefusedLink.empty() && walk.mUnreadableLink.empty())
            error = (Quoted(given.c_str()) + " is not replaced: too many levels of symbolic links").c_str();
        else
            error = (cannot + KWalkRefusal(walk)).c_str();
        return false;
    }
    if (walk.mDirectoryName) {
        code = EISDIR;
        error = (cannot + "it names a directory").c_str();
        return false;
    }
    // A new file, or the one a dangling link names.
    if (!walk.mExists) {
        file = std::move(walk.mPlace);
        return true;
    }
    const mode_t mode = walk.mStat.st_mode;
    if (!S_ISREG(mode)) {
        if (S_ISDIR(mode)) code = EISDIR;
        const std::string what =
            walk.mFinalLinks > 0 ? "it links to " + Quoted(walk.mPlace.mPath.c_str()) + ", " : std::string("it is ");
        error = (Quoted(given.c_str()) + " is not replaced: " + what + KFileKindOf(mode) + ", not a regular file").c_str();
        return false;
    }
    const int at = walk.mPlace.mDirectory.Get();
    const char* name = walk.mPlace.mName.c_str();
    KFolderLook folder;
    if (!KLookAtFolder(at, folder)) {
        code = errno;
        error = (cannot + std::strerror(code)).c_str();
        return false;
    }
    if (!KMayUseInSharedFolder(walk.mStat, folder)) {
        code = EACCES;
        error = (cannot + (how == EWrite::eReplace ? kOthersFile : kOthersFileAppended) + ": " + std::strerror(code))
                    .c_str();
        return false;
    }
    // Written through a hard link another user made to a file of this user's, it would change
    // where they cannot write (the system's rule for hard links, whatever its setting); nor does a
    // write nobody named replace one (the new content would take the linked file's mode), or use
    // another user's file where they may put a name.
    const bool untrusted = namedBy == KNamedBy::eNobody ||
                           (how != EWrite::eReplace && KIsHardLinkedWhereOthersWrite(walk.mStat, folder));
    const std::string why = untrusted ? KWhyFileIsNotTrusted(walk.mStat, folder) : std::string();
    if (!why.empty()) {
        code = EACCES;
        error = (cannot + why + kNotWrittenTo + ": " + std::strerror(code)).c_str();
        return false;
    }
    // A file the system keeps from change: said which (write access shows neither for
    // an append-only file, which takes appends, and appends alone).
    const char* kept = KeptFromChange(at, name);
    if (kept && (how != EWrite::eAppend || std::strcmp(kept, "immutable") == 0)) {
        code = EPERM;
        const char* verb = how == EWrite::eReplace ? " cannot be replaced" : " cannot be written";
        error = (Quoted(walk.mPlace.mPath.c_str()) + verb + ": it is " + kept + ": " + std::strerror(code)).c_str();
        return false;
    }
    // Refused as opening it for writing would be (root may).
    if (::faccessat(at, name, W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
        code = errno;
        if (code == EPERM)
            error = (Quoted(walk.mPlace.mPath.c_str()) +
                     " cannot be replaced: it is immutable or append-only: " + std::strerror(code))
                        .c_str();
        else
            error = (cannot + std::strerror(code)).c_str();
        return false;
    }
    file = std::move(walk.mPlace);
    return true;
}

}  // namespace

bool KFileReplacement::ResolveTarget(const char* target, KResolvedPath& file, KString& error, int* systemError,
                                     bool makeFolders, KResolvedPath* named, KNamedBy namedBy) {
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    code = 0;
    error = "";
    if (!target || !*target) {
        error = "No file name given";
        return false;
    }
    const KString given = KAbsolutePath(target);
    KPathWalk walk;
    const bool walked = KWalkPath(given.Buffer(), walk, true, makeFolders, namedBy);
    if (named) *named = std::move(walk.mNamed);
    return ResolveWalked(walk, walked, given.Buffer(), file, error, code, namedBy);
}

bool KFileReplacement::ResolveTarget(const KHeldFolder& folder, const char* name, KResolvedPath& file, KString& error,
                                     int* systemError, KResolvedPath* named, KNamedBy namedBy) {
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    code = 0;
    error = "";
    if (!name || !*name) {
        error = "No file name given";
        return false;
    }
    KPathWalk walk;
    const bool walked = folder.Walk(name, walk, true, namedBy);
    if (named) *named = std::move(walk.mNamed);
    return ResolveWalked(walk, walked, folder.PathOf(name), file, error, code, namedBy);
}

namespace {

// Opens the file a walk leads to (walkTo, walking what given names, given made absolute) to be
// written where it lies, appended to or in place (how), under ResolveWalked's rules for that; a
// missing file is made only to be appended to. What was looked at is opened, and only that: an
// existing file without O_CREAT (the system's rules for shared folders are the SDK's, applied on
// the look), a new one only as new. Never waiting on a pipe, nor following a link, that took the
// name meanwhile. The descriptor, or -1 with the reason in error and the system's error number in
// code (and errno).
int OpenWhereItLies(const std::string& given, const std::function<bool(KPathWalk&)>& walkTo, EWrite how,
                    KNamedBy namedBy, KString& error, int& code) {
    const auto fail = [&](const std::string& why, int number) {
        code = number;
        error = why.c_str();
        errno = number != 0 ? number : EINVAL;
        return -1;
    };
    code = 0;
    error = "";
    // A round more when the name changes between the look and the open.
    for (int round = 0; round < 4; ++round) {
        KResolvedPath file;
        KPathWalk walk;
        const bool walked = walkTo(walk);
        const bool existed = walked && walk.mExists;
        const struct stat looked = walk.mStat;
        if (!ResolveWalked(walk, walked, given, file, error, code, namedBy, how)) {
            errno = code != 0 ? code : EINVAL;
            return -1;
        }
        const std::string cannot = std::string("Cannot write ") + Quoted(file.mPath.c_str()) + ": ";
        if (!existed && how == EWrite::eInPlace) return fail(cannot + std::strerror(ENOENT), ENOENT);
        const int flags = (how == EWrite::eAppend ? O_WRONLY | O_APPEND : O_RDWR) | O_NOFOLLOW | O_NONBLOCK |
                          O_NOCTTY | O_CLOEXEC;
        const int fd = ::openat(file.mDirectory.Get(), file.mName.c_str(), existed ? flags : flags | O_CREAT | O_EXCL,
                                0666);
        if (fd < 0 && (errno == EEXIST || errno == ENOENT || errno == ELOOP)) continue;
        if (fd < 0) return fail(cannot + std::strerror(errno), errno);
        const auto closeAndFail = [&](const std::string& why, int number) {
            ::close(fd);
            return fail(why, number);
        };
        struct stat st;
        if (::fstat(fd, &st) != 0) return closeAndFail(cannot + std::strerror(errno), errno);
        if (!S_ISREG(st.st_mode)) {
            const int number = S_ISDIR(st.st_mode) ? EISDIR : 0;
            return closeAndFail(Quoted(file.mPath.c_str()) + " is not written: it is now " +
                                    KFileKindOf(st.st_mode) + ", not a regular file",
                                number);
        }
        // Another file under the name since the look: looked at again.
        if (existed && (st.st_dev != looked.st_dev || st.st_ino != looked.st_ino)) {
            ::close(fd);
            continue;
        }
        // A hard link another user put under a new name meanwhile, or made since the look.
        KFolderLook folder;
        if (st.st_nlink > 1 && !KLookAtFolder(file.mDirectory.Get(), folder))
            return closeAndFail(cannot + std::strerror(errno), errno);
        if (st.st_nlink > 1 && KIsHardLinkedWhereOthersWrite(st, folder))
            return closeAndFail(
                cannot + KWhyFileIsNotTrusted(st, folder) + kNotWrittenTo + ": " + std::strerror(EACCES), EACCES);
        // Nor does it keep a set-user-ID or set-group-ID bit once written into: the system clears
        // them as it is written only for a writer without the right to keep them, and root has it.
        // A writer who may not change the mode (another user's file) is such a writer, but the
        // system leaves a set-group-ID bit without group execute to a member of the file's group;
        // such a writer there, and one who may not change the mode otherwise (an append-only file),
        // is refused.
        const mode_t bits = st.st_mode & 07777;
        const bool systemClears = (bits & S_ISGID) == 0 || (bits & S_IXGRP) != 0;
        if (WithoutSetIdBits(bits) != bits && ::fchmod(fd, WithoutSetIdBits(bits)) != 0 &&
            (errno != EPERM || st.st_uid == ::geteuid() || ::geteuid() == 0 || !systemClears)) {
            const int number = errno;
            return closeAndFail(cannot + "its set-user-ID and set-group-ID bits cannot be cleared: " +
                                    std::strerror(number),
                                number);
        }
        code = 0;
        error = "";
        return fd;
    }
    return fail("Cannot write " + Quoted(given.c_str()) + ": other writers change it meanwhile", EAGAIN);
}

// The refusal of a write to no name: -1.
int NoNameGiven(KString& error, int& code) {
    code = 0;
    error = "No file name given";
    errno = EINVAL;
    return -1;
}

// OpenWhereItLies for target, a path; none given is refused.
int OpenPathWhereItLies(const char* target, EWrite how, KNamedBy namedBy, KString& error, int& code) {
    if (!target || !*target) return NoNameGiven(error, code);
    const std::string given = KAbsolutePath(target).Buffer();
    return OpenWhereItLies(
        given, [&](KPathWalk& walk) { return KWalkPath(given.c_str(), walk, true, false, namedBy); }, how, namedBy,
        error, code);
}

// The stream OpenForAppending answers for the file open as fd (given: its path, for messages).
std::FILE* AppendingStream(int fd, const std::string& given, KString& error, int& code) {
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "a");
    if (stream) return stream;
    code = errno;
    error = ("Cannot write " + Quoted(given.c_str()) + ": " + std::strerror(code)).c_str();
    ::close(fd);
    errno = code;
    return nullptr;
}

}  // namespace

std::FILE* KFileReplacement::OpenForAppending(const char* target, KString& error, int* systemError,
                                              KNamedBy namedBy) {
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    const int fd = OpenPathWhereItLies(target, EWrite::eAppend, namedBy, error, code);
    return AppendingStream(fd, fd < 0 ? std::string() : KAbsolutePath(target).Buffer(), error, code);
}

std::FILE* KFileReplacement::OpenForAppending(const KHeldFolder& folder, const char* name, KString& error,
                                              int* systemError, KNamedBy namedBy) {
    int ignored = 0;
    int& code = systemError ? *systemError : ignored;
    if (!name || !*name) {
        NoNameGiven(error, code);
        return nullptr;
    }
    const std::string given = folder.PathOf(name);
    const int fd = OpenWhereItLies(
        given, [&](KPathWalk& walk) { return folder.Walk(name, walk, true, namedBy); }, EWrite::eAppend, namedBy,
        error, code);
    return AppendingStream(fd, given, error, code);
}

int KFileReplacement::OpenForWritingInPlace(const char* target, KString& error, int* systemError) {
    int ignored = 0;
    // Nobody asked for it: a section written back into a file that was read.
    return OpenPathWhereItLies(target, EWrite::eInPlace, KNamedBy::eNobody, error,
                               systemError ? *systemError : ignored);
}

bool KFileReplacement::Begin(const char* target, bool makeFolders, KNamedBy namedBy) {
    Discard();
    mError = "";
    mSystemError = 0;
    KResolvedPath file, named;
    if (!ResolveTarget(target, file, mError, &mSystemError, makeFolders, &named, namedBy)) return false;
    return BeginResolved(std::move(file), std::move(named), KAbsolutePath(target), namedBy);
}

bool KFileReplacement::Begin(const KHeldFolder& folder, const char* name, KNamedBy namedBy) {
    Discard();
    mError = "";
    mSystemError = 0;
    KResolvedPath file, named;
    if (!ResolveTarget(folder, name, file, mError, &mSystemError, &named, namedBy)) return false;
    return BeginResolved(std::move(file), std::move(named), KString(folder.PathOf(name).c_str()), namedBy);
}

bool KFileReplacement::BeginResolved(KResolvedPath file, KResolvedPath named, const KString& target,
                                     KNamedBy namedBy) {
    RemoveStaleTemporaries(file);
    KString temporary;
    const int fd = CreateTemporary(file, temporary);
    if (fd < 0) {
        mSystemError = errno;
        mError = (std::string("Cannot create a file beside ") + Quoted(file.mPath.c_str()) + ": " +
                  std::strerror(mSystemError))
                     .c_str();
        return false;
    }
    mTarget = target;
    mNamedBy = namedBy;
    mOptional = false;
    mLimit = 07777;
    mFile = std::move(file);
    mNamed = std::move(named);
    mTemporary = temporary;
    mDescriptor = fd;
    return true;
}

bool KFileReplacement::GetFolder(KHeldFolder& folder) const {
    return IsActive() && folder.Hold(mNamed.mDirectory.Get() >= 0 ? mNamed : mFile);
}

int KFileReplacement::OpenDescriptor() {
    if (!IsActive()) {
        errno = EBADF;
        return -1;
    }
    return ::fcntl(mDescriptor, F_DUPFD_CLOEXEC, 0);
}

std::FILE* KFileReplacement::OpenStream(const char* mode) {
    if (!IsActive()) {
        errno = EBADF;
        return nullptr;
    }
    const int fd = ::fcntl(mDescriptor, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, mode);
    if (!stream) {
        const int code = errno;
        ::close(fd);
        errno = code;
    }
    return stream;
}

bool KFileReplacement::CopyFrom(std::FILE* source) {
    if (!IsActive() || !source) {
        mError = "Nothing to replace";
        mSystemError = 0;
        return false;
    }
    char block[1 << 16];
    for (;;) {
        const std::size_t read = std::fread(block, 1, sizeof(block), source);
        if (read == 0) break;
        for (std::size_t done = 0; done < read;) {
            const ssize_t n = ::write(mDescriptor, block + done, read - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                // A write of nothing is a full device that says nothing.
                Failed("Cannot write " + Quoted(mFile.mPath.c_str()), n < 0 ? errno : ENOSPC);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    if (std::ferror(source)) {
        Failed("Cannot read the file copied to " + Quoted(mFile.mPath.c_str()), errno ? errno : EIO);
        return false;
    }
    mError = "";
    mSystemError = 0;
    return true;
}

void KFileReplacement::Failed(const std::string& why, int systemError) {
    mSystemError = systemError;
    mError = (systemError != 0 ? why + ": " + std::strerror(systemError) : why).c_str();
}

namespace {

// What the umask leaves of 0666: the mode any new file of the user gets.
mode_t NewFileMode() {
    // Read, not set and set back: other threads may create files meanwhile.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof(line), status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return 0666 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Why a file could not be given what it keeps: what could not be done ("" when the
// system's reason says it all) and the system's error number (0 without one).
struct Refusal {
    std::string mWhat;
    int mCode = 0;
};

std::string ReplaceFailure(const KResolvedPath& file, const Refusal& refusal) {
    std::string text = "Cannot replace " + Quoted(file.mPath.c_str());
    if (!refusal.mWhat.empty()) text += ": " + refusal.mWhat;
    if (refusal.mCode != 0) text += std::string(": ") + std::strerror(refusal.mCode);
    return text;
}

bool Unsupported(int code) { return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP; }

struct AclFree {
    void operator()(void* acl) const { ::acl_free(acl); }
};
using Acl = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

// An access control list that says more than a mode: named users or groups, a mask.
bool IsExtended(acl_t acl) { return acl && ::acl_equiv_mode(acl, nullptr) == 1; }

bool HasExtendedAcl(int descriptor) {
    const Acl acl(::acl_get_fd(descriptor));
    return IsExtended(acl.get());
}

int SetAccessAcl(int descriptor, acl_t acl) {
    if (gFileSystemLimits.mNoAclGiven) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::acl_set_fd(descriptor, acl);
}

// Reads an extended attribute list or value through get(buffer, size), as large as it
// is, also when it grows meanwhile. False, errno set, when it cannot be read.
template <class Get>
bool ReadAttribute(std::vector<char>& into, const Get& get) {
    for (int round = 0; round < 4; ++round) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) return false;
        into.resize(static_cast<std::size_t>(size));
        if (size == 0) return true;
        const ssize_t read = get(into.data(), into.size());
        if (read >= 0) {
            into.resize(static_cast<std::size_t>(read));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    errno = ERANGE;
    return false;
}

// Whether an extended attribute of a file replaced goes to its new content: not its
// access control lists (given apart), not file capabilities (granted to the old
// content; a write drops them too), nor what the system's settings keep from copies.
bool IsCopied(const char* name) {
    // The settings are read on first use; once, so that threads never read them at once.
    static std::once_flag loaded;
    std::call_once(loaded, [] { ::attr_copy_action("user.", nullptr); });
    return std::strcmp(name, "security.capability") != 0 && ::attr_copy_action(name, nullptr) == 0;
}

// The file replaced, open to read what it keeps: for reading where the process may,
// else only naming it (O_PATH), its attributes then read by its /proc name.
class ReplacedFile {
public:
    ReplacedFile() = default;
    ~ReplacedFile() {
        if (mFd >= 0) ::close(mFd);
    }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // False, errno set, when file cannot be opened; ESTALE when it no longer holds the
    // file described as named.
    bool Open(const KResolvedPath& file, const struct stat& named) {
        const int at = file.mDirectory.Get();
        mFd = ::openat(at, file.mName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        mReadable = mFd >= 0;
        if (mFd < 0) mFd = ::openat(at, file.mName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat open;
        if (mFd < 0 || ::fstat(mFd, &open) != 0) return false;
        if (!SameFile(open, named)) {
            errno = ESTALE;
            return false;
        }
        mName = "/proc/self/fd/" + std::to_string(mFd);
        return true;
    }
    ssize_t List(char* names, std::size_t size) const {
        return mReadable ? ::flistxattr(mFd, names, size) : ::listxattr(mName.c_str(), names, size);
    }
    ssize_t Get(const char* name, void* value, std::size_t size) const {
        return mReadable ? ::fgetxattr(mFd, name, value, size) : ::getxattr(mName.c_str(), name, value, size);
    }
    acl_t AccessAcl() const { return mReadable ? ::acl_get_fd(mFd) : ::acl_get_file(mName.c_str(), ACL_TYPE_ACCESS); }
    int Descriptor() const { return mFd; }

private:
    int mFd = -1;
    bool mReadable = false;
    std::string mName;
};

// Gives the temporary the extended attributes of the file it replaces: every user one,
// and those of the other kinds the process may set (trusted and security ones want
// privileges a user lacks; those the file system refuses are left out).
bool CopyExtendedAttributes(const ReplacedFile& replaced, int descriptor, Refusal& refusal) {
    std::vector<char> names;
    if (!ReadAttribute(names, [&](char* list, std::size_t size) { return replaced.List(list, size); })) {
        if (Unsupported(errno)) return true;
        refusal = {"its extended attributes cannot be listed", errno};
        return false;
    }
    if (names.empty()) return true;
    names.push_back('\0');
    std::vector<char> value;
    for (std::size_t at = 0; at + 1 < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        if (!*name || !IsCopied(name)) continue;
        const bool user = std::strncmp(name, "user.", 5) == 0;
        if (!ReadAttribute(value, [&](char* data, std::size_t size) { return replaced.Get(name, data, size); })) {
            // Removed meanwhile: nothing to keep.
            if (errno == ENODATA || !user) continue;
            refusal = {std::string("its extended attribute ") + name + " cannot be read", errno};
            return false;
        }
        if (::fsetxattr(descriptor, name, value.data(), value.size(), 0) != 0 && user) {
            refusal = {std::string("its extended attribute ") + name + " cannot be kept", errno};
            return false;
        }
    }
    return true;
}

// The list to give the temporary while it is still being completed: the replaced
// file's, but with the owner's entry letting the owner (the writer, who holds the
// temporary open already) read and write, so that a writer who is not root can still
// give it the attributes that follow; the mode set last puts back the file's own.
Acl ListWhileCompleted(acl_t replaced) {
    Acl list(::acl_dup(replaced));
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; list && ::acl_get_entry(list.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        if (::acl_get_tag_type(entry, &tag) != 0 || tag != ACL_USER_OBJ || ::acl_get_permset(entry, &permissions) != 0)
            continue;
        ::acl_add_perm(permissions, ACL_READ | ACL_WRITE);
        ::acl_set_permset(entry, permissions);
    }
    return list;
}

// A group's name for messages, its number where it has none.
std::string GroupName(gid_t gid) {
    std::vector<char> buffer(4096);
    struct group entry;
    struct group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->gr_name)
        return std::string("\"") + found->gr_name + "\"";
    return "number " + std::to_string(gid);
}

// Gives the complete temporary what the file it replaces (described as file) has, in
// this order: its access control list, its extended attributes, its owner and group
// where the process may set them, its mode.
// - The list first: ext4 keeps it among the extended attributes, in the inode's spare
//   room and one block, and a large attribute given before it can leave no room for it
//   (ENOSPC) where the old file holds both.
// - Until then the temporary is 0600, its writer's alone; the list lets in no more than
//   the old file does (its owner entry aside, which names the writer itself), so at no
//   point does the temporary let in more than either.
// - The mode last, after the owner: it sets the list's owner, group class and others entries to
//   the file's own. Never the set-user-ID or set-group-ID bit: the new content is not the program
//   that was given it (nor a program of the writer's choosing).
bool GiveAttributesOf(int descriptor, const struct stat& file, const ReplacedFile& replaced, Refusal& refusal) {
    const Acl acl(replaced.AccessAcl());
    if (!acl && !Unsupported(errno)) {
        refusal = {"its access control list cannot be read", errno};
        return false;
    }
    // A file without a list of its own drops the one its temporary took from the folder's default.
    if (acl && (IsExtended(acl.get()) || HasExtendedAcl(descriptor))) {
        const Acl list = ListWhileCompleted(acl.get());
        if (!list || SetAccessAcl(descriptor, list.get()) != 0) {
            refusal = {"its access control list cannot be given to the new content", errno};
            return false;
        }
    }
    if (!CopyExtendedAttributes(replaced, descriptor, refusal)) return false;
    // Only root, or an owner choosing among its groups, may: the rest keep theirs.
    if (::fchown(descriptor, file.st_uid, file.st_gid) != 0) ::fchown(descriptor, static_cast<uid_t>(-1), file.st_gid);
    // A group the writer may not give keeps the file's group access from moving to
    // another group: refused, as a list that cannot be given is.
    struct stat given;
    if (::fstat(descriptor, &given) != 0) {
        refusal = {"", errno};
        return false;
    }
    const mode_t groupAccess = (KPermissionsOf(replaced.Descriptor(), file.st_mode) & S_IRWXG) >> 3;
    if (given.st_gid != file.st_gid && (groupAccess & ~file.st_mode & S_IRWXO) != 0) {
        refusal = {"its group (" + GroupName(file.st_gid) +
                       ") cannot be kept, and what that group may do that others may not would go to another group",
                   EPERM};
        return false;
    }
    if (::fchmod(descriptor, WithoutSetIdBits(file.st_mode)) == 0) return true;
    refusal = {"", errno};
    return false;
}

// Gives a new file what open(..., 0666) gives one in its folder: the folder's default
// access control list less execute for the owner, the group class and others (no umask
// applies then); without such a list, what the umask allows.
bool GiveNewFileAttributes(int descriptor, const KResolvedPath& file, Refusal& refusal) {
    const std::string directory = "/proc/self/fd/" + std::to_string(file.mDirectory.Get());
    const Acl inherited(::acl_get_file(directory.c_str(), ACL_TYPE_DEFAULT));
    if (!inherited && !Unsupported(errno)) {
        refusal = {"the default access control list of its folder cannot be read", errno};
        return false;
    }
    if (!inherited || ::acl_entries(inherited.get()) <= 0) {
        if (::fchmod(descriptor, NewFileMode()) == 0) return true;
        refusal = {"", errno};
        return false;
    }
    bool masked = false;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(inherited.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        masked = masked || (::acl_get_tag_type(entry, &tag) == 0 && tag == ACL_MASK);
    }
    // The mask stands for the group class where there is one, else the owning group.
    const acl_tag_t groupClass = masked ? ACL_MASK : ACL_GROUP_OBJ;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(inherited.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        if (::acl_get_tag_type(entry, &tag) != 0 || (tag != ACL_USER_OBJ && tag != groupClass && tag != ACL_OTHER) ||
            ::acl_get_permset(entry, &permissions) != 0)
            continue;
        ::acl_delete_perm(permissions, ACL_EXECUTE);
        ::acl_set_permset(entry, permissions);
    }
    if (SetAccessAcl(descriptor, inherited.get()) == 0) return true;
    refusal = {"the default access control list of its folder cannot be given to it", errno};
    return false;
}

// Gives the complete temporary what the file it is to replace has, or what a new file
// of its folder gets; existed says which. False with the reason when that fails or what
// the name holds is no longer a regular file, or, for a write nobody named, a file another
// user may have put under its name (KWhyFileIsNotTrusted), judged as the file whose
// attributes it would take.
bool GiveFinalAttributesAsIs(int descriptor, const KResolvedPath& file, bool& existed, Refusal& refusal,
                             KNamedBy namedBy);

// GiveFinalAttributesAsIs, then no more permission than limit (a copy's source's): the
// mode's, and with it the group class of an access control list.
bool GiveFinalAttributes(int descriptor, const KResolvedPath& file, bool& existed, Refusal& refusal,
                         mode_t limit, KNamedBy namedBy) {
    if (!GiveFinalAttributesAsIs(descriptor, file, existed, refusal, namedBy)) return false;
    if ((limit & 0777) == 0777) return true;
    struct stat st;
    if (::fstat(descriptor, &st) == 0 && ::fchmod(descriptor, st.st_mode & 0777 & limit) == 0) return true;
    refusal = {"its access cannot be limited to its source's", errno};
    return false;
}

bool GiveFinalAttributesAsIs(int descriptor, const KResolvedPath& file, bool& existed, Refusal& refusal,
                             KNamedBy namedBy) {
    // A round more when another writer replaces the file between the look and the open.
    for (int round = 0; round < 4; ++round) {
        struct stat st;
        if (::fstatat(file.mDirectory.Get(), file.mName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            existed = false;
            if (errno == ENOENT) return GiveNewFileAttributes(descriptor, file, refusal);
            refusal = {"", errno};
            return false;
        }
        existed = true;
        if (!S_ISREG(st.st_mode)) {
            refusal = {std::string("it is now ") + KFileKindOf(st.st_mode) + ", not a regular file", 0};
            return false;
        }
        ReplacedFile replaced;
        if (replaced.Open(file, st)) {
            KFolderLook folder;
            if (namedBy == KNamedBy::eNobody && !KLookAtFolder(file.mDirectory.Get(), folder)) {
                refusal = {"", errno};
                return false;
            }
            const std::string why = namedBy == KNamedBy::eNobody ? KWhyFileIsNotTrusted(st, folder) : std::string();
            if (!why.empty()) {
                refusal = {why + kNotWrittenTo, EACCES};
                return false;
            }
            return GiveAttributesOf(descriptor, st, replaced, refusal);
        }
        if (errno != ENOENT && errno != ESTALE && errno != ELOOP) {
            refusal = {"its access rights cannot be read", errno};
            return false;
        }
    }
    refusal = {"other writers replace it meanwhile", 0};
    return false;
}

// True when name, in the directory at, still names the file open as descriptor.
bool StillNames(int at, const char* name, int descriptor) {
    struct stat named, open;
    return ::fstatat(at, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(descriptor, &open) == 0 &&
           SameFile(named, open);
}

// True when file names nothing or a regular file, as a rename over it needs; else
// false with the reason in error.
bool CanReplace(const KResolvedPath& file, KString& error) {
    struct stat st;
    KFolderLook folder;
    if (::fstatat(file.mDirectory.Get(), file.mName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (S_ISREG(st.st_mode)) {
        if (!KLookAtFolder(file.mDirectory.Get(), folder) || KMayUseInSharedFolder(st, folder)) return true;
        error = (Quoted(file.mPath.c_str()) + " is not replaced: " + kOthersFile).c_str();
        return false;
    }
    error = (Quoted(file.mPath.c_str()) + " is not replaced: it is now " + KFileKindOf(st.st_mode) +
             ", not a regular file")
                .c_str();
    return false;
}

// True when the temporary's name still holds the file written, which alone may take the
// file's name: in a folder others may write, another user may have put something else
// under it (a link to a file of theirs to be renamed into the file's place).
bool StillHolds(const KResolvedPath& file, const KString& temporary, int descriptor, Refusal& refusal) {
    if (StillNames(file.mDirectory.Get(), NameIn(temporary), descriptor)) return true;
    refusal = {Quoted(temporary.Buffer()) + " no longer holds the content written there", 0};
    return false;
}

// The identity of what name in the directory at names, (0, 0) when it names nothing.
std::pair<std::uint64_t, std::uint64_t> IdentityOf(int at, const char* name) {
    struct stat st;
    if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return {0, 0};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void BeforeRename(const KString& temporary, const KResolvedPath& file) {
    if (gReplacementSeams.mBeforeRename) gReplacementSeams.mBeforeRename(temporary.Buffer(), file.mPath.c_str());
}

// True when, after its rename, file's name holds the file written (open as descriptor):
// another user who may write the folder can put something of theirs under the
// temporary's name between the last check and the rename, and the rename then puts that
// in the file's place.
bool TookItsName(const KResolvedPath& file, int descriptor, Refusal& refusal) {
    if (StillNames(file.mDirectory.Get(), file.mName.c_str(), descriptor)) return true;
    refusal = {"after the rename its name holds something other than the content written (another user put it "
               "under the temporary's name meanwhile)",
               0};
    return false;
}

// renameat2 of two names in the directory at where the file system has it; a flag it
// lacks fails with EINVAL.
int RenameWith(int at, const char* from, const char* to, unsigned flags) {
    if ((flags & RENAME_EXCHANGE) && gFileSystemLimits.mNoExchange) {
        errno = EINVAL;
        return -1;
    }
    return flags == 0 ? ::renameat(at, from, at, to) : ::renameat2(at, from, at, to, flags);
}

// How long a group waits for the folders it is put in. A group holds them only while it
// renames, so a lock held longer is held on purpose, and any user who may read a folder
// may take its lock: no export waits on such a one for long.
constexpr std::chrono::milliseconds kMostLockWait(3000);

// Takes the lock of fd, waiting for it until deadline at the latest; false when it is not had.
bool LockBefore(int fd, std::chrono::steady_clock::time_point deadline) {
    std::chrono::microseconds pause(500);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return false;
        const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
}

// Holds the directories of a group for the length of its commit (flock), so that groups
// put in place in the same directories go one after the other. A directory is known by
// its device and inode, so that one reached by two paths (a bind mount) is locked once:
// a second lock of it would wait on the first. A lock not had within kMostLockWait, or
// not at all (a file system without locks, a folder the writer may not read), is done
// without: the group still takes its names all or none, only not apart from another
// group's. Nothing is left behind.
class DirectoryLocks {
public:
    explicit DirectoryLocks(const std::vector<const KResolvedPath*>& files) {
        std::vector<std::pair<std::pair<dev_t, ino_t>, int>> opened;
        for (const KResolvedPath* file : files) {
            const int fd = OpenDirectory(*file);
            if (fd < 0) continue;
            struct stat st;
            const bool known = ::fstat(fd, &st) != 0 || std::any_of(opened.begin(), opened.end(), [&](const auto& held) {
                                   return held.first == std::make_pair(st.st_dev, st.st_ino);
                               });
            if (known) {
                ::close(fd);
                continue;
            }
            opened.push_back({{st.st_dev, st.st_ino}, fd});
        }
        // One order for every group, so that two groups never wait on each other.
        std::sort(opened.begin(), opened.end());
        const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kMostLockWait;
        for (const auto& directory : opened) {
            LockBefore(directory.second, deadline);
            mHeld.push_back(directory.second);
        }
    }
    ~DirectoryLocks() {
        for (const int fd : mHeld) ::close(fd);
    }
    DirectoryLocks(const DirectoryLocks&) = delete;
    DirectoryLocks& operator=(const DirectoryLocks&) = delete;

private:
    std::vector<int> mHeld;
};

}  // namespace

bool KFileReplacement::LockForAWhile(int descriptor) {
    return LockBefore(descriptor, std::chrono::steady_clock::now() + kMostLockWait);
}

bool KFileReplacement::PutInPlace(int descriptor, const KString& temporary, const KResolvedPath& file, KString& error,
                                  int& systemError, mode_t limit, KNamedBy namedBy) {
    systemError = 0;
    // What took the name meanwhile is checked again: only a regular file goes.
    if (!CanReplace(file, error)) return false;
    bool existed = false;
    Refusal refusal;
    if (GiveFinalAttributes(descriptor, file, existed, refusal, limit, namedBy) &&
        StillHolds(file, temporary, descriptor, refusal)) {
        BeforeRename(temporary, file);
        if (RenameWith(file.mDirectory.Get(), NameIn(temporary), file.mName.c_str(), 0) != 0) {
            refusal = {"", errno};
        } else if (TookItsName(file, descriptor, refusal)) {
            error = "";
            return true;
        }
    }
    systemError = refusal.mCode;
    error = ReplaceFailure(file, refusal).c_str();
    return false;
}

void KFileReplacement::RemoveTemporary(int descriptor, const KString& temporary, const KResolvedPath& file) {
    const int at = file.mDirectory.Get();
    if (!temporary.IsEmpty() && StillNames(at, NameIn(temporary), descriptor)) ::unlinkat(at, NameIn(temporary), 0);
}

KFileReplacement::EPlaced KFileReplacement::Place(bool last) {
    if (last) {
        if (PutInPlace(mDescriptor, mTemporary, mFile, mError, mSystemError, mLimit, mNamedBy)) return EPlaced::eOver;
        return EPlaced::eNot;
    }
    const int at = mFile.mDirectory.Get();
    const char* from = NameIn(mTemporary);
    const char* to = mFile.mName.c_str();
    Refusal refusal;
    // A second round when a file took a free name meanwhile.
    for (int round = 0; round < 2; ++round) {
        if (!CanReplace(mFile, mError)) {
            mSystemError = 0;
            return EPlaced::eNot;
        }
        bool existed = false;
        if (!GiveFinalAttributes(mDescriptor, mFile, existed, refusal, mLimit, mNamedBy) ||
            !StillHolds(mFile, mTemporary, mDescriptor, refusal))
            break;
        BeforeRename(mTemporary, mFile);
        if (!existed) {
            // A new file takes the name only while it is free, so that undoing it
            // removes nothing but itself (a hard link is refused a taken name too).
            int taken = RenameWith(at, from, to, RENAME_NOREPLACE);
            if (taken != 0 && Unsupported(errno)) {
                taken = ::linkat(at, from, at, to, 0);
                if (taken == 0)
                    ::unlinkat(at, from, 0);
                else if (errno != EEXIST)
                    taken = RenameWith(at, from, to, 0);
            }
            // What took the free name is not the writer's: it stays there.
            if (taken == 0 && !TookItsName(mFile, mDescriptor, refusal)) break;
            if (taken == 0) return EPlaced::eNew;
            if (errno == EEXIST) continue;
            refusal = {"", errno};
            break;
        }
        // The old content stays under the temporary's name until the group is in place.
        if (RenameWith(at, from, to, RENAME_EXCHANGE) == 0) {
            mKept = IdentityOf(at, from);
            if (TookItsName(mFile, mDescriptor, refusal)) return EPlaced::eExchanged;
            // Exchanged back: the old content takes its name again, and what the other
            // user put under the temporary's name goes back there.
            if (HoldsKept(from)) RenameWith(at, from, to, RENAME_EXCHANGE);
            mKept = {0, 0};
            break;
        }
        if (!Unsupported(errno)) {
            refusal = {"", errno};
            break;
        }
        // Else under a second name of its own.
        const KString backup = TemporaryName(mFile.mPath.c_str());
        if (::linkat(at, to, at, NameIn(backup), 0) == 0) {
            mKept = IdentityOf(at, NameIn(backup));
            if (RenameWith(at, from, to, 0) != 0) {
                refusal = {"", errno};
                ::unlinkat(at, NameIn(backup), 0);
                mKept = {0, 0};
                break;
            }
            mBackup = backup;
            if (TookItsName(mFile, mDescriptor, refusal)) return EPlaced::eLinked;
            // What the other user put in the file's place stays, and the old content
            // keeps its second name.
            mBackup = "";
            mKept = {0, 0};
            break;
        }
        // Nor that: replaced for good.
        if (RenameWith(at, from, to, 0) != 0) {
            refusal = {"", errno};
            break;
        }
        if (!TookItsName(mFile, mDescriptor, refusal)) break;
        return EPlaced::eOver;
    }
    mSystemError = refusal.mCode;
    mError = ReplaceFailure(mFile, refusal).c_str();
    return EPlaced::eNot;
}

bool KFileReplacement::HoldsKept(const char* name) const {
    return mKept.first != 0 && IdentityOf(mFile.mDirectory.Get(), name) == mKept;
}

void KFileReplacement::Undo(EPlaced placed) {
    const int at = mFile.mDirectory.Get();
    const char* file = mFile.mName.c_str();
    // Only the writer's own file goes, and only the old content comes back: another
    // user may have put something else under either name meanwhile.
    switch (placed) {
        case EPlaced::eExchanged:
            // The temporary's name holds the old content: swapped back, the new
            // content goes with the temporary. Should that fail, the old content
            // keeps its name (Discard removes only the writer's own file).
            if (StillNames(at, file, mDescriptor) && HoldsKept(NameIn(mTemporary)))
                RenameWith(at, NameIn(mTemporary), file, RENAME_EXCHANGE);
            break;
        case EPlaced::eLinked:
            if (StillNames(at, file, mDescriptor) && HoldsKept(NameIn(mBackup)) &&
                RenameWith(at, NameIn(mBackup), file, 0) == 0)
                mBackup = "";
            break;
        case EPlaced::eNew:
            if (StillNames(at, file, mDescriptor)) ::unlinkat(at, file, 0);
            break;
        default:
            break;
    }
}

void KFileReplacement::Finish(EPlaced placed) {
    const int at = mFile.mDirectory.Get();
    // The old content, kept for an undo that is no longer needed.
    if (placed == EPlaced::eExchanged && HoldsKept(NameIn(mTemporary))) ::unlinkat(at, NameIn(mTemporary), 0);
    if (placed == EPlaced::eLinked && HoldsKept(NameIn(mBackup))) ::unlinkat(at, NameIn(mBackup), 0);
    SyncDirectoryOf(mFile);
    mFile.mDirectory.Reset();
    mNamed.mDirectory.Reset();
    mBackup = "";
    mKept = {0, 0};
    ::close(mDescriptor);
    mDescriptor = -1;
    mTemporary = "";
    mError = "";
    mSystemError = 0;
}

KFileReplacement* KFileReplacement::CommitTogether(KFileReplacement* const* group, std::size_t count) {
    std::vector<KFileReplacement*> files;
    for (std::size_t i = 0; i < count; ++i)
        if (group[i] && group[i]->IsActive()) files.push_back(group[i]);
    // Discards a file's temporary, its reason kept: so a failing optional file
    // is dropped while the group goes on, and the whole group after a failure.
    const auto discardKeepingReason = [](KFileReplacement* file) {
        const KString error = file->mError;
        const int code = file->mSystemError;
        file->Discard();
        file->mError = error;
        file->mSystemError = code;
    };
    KFileReplacement* failed = nullptr;
    // The content reaches the disk before it takes the name.
    for (std::size_t i = 0; i < files.size() && !failed;) {
        KFileReplacement* file = files[i];
        if (::fsync(file->mDescriptor) == 0) {
            ++i;
            continue;
        }
        file->Failed("Cannot replace " + Quoted(file->mFile.mPath.c_str()), errno);
        if (!file->mOptional) {
            failed = file;
            break;
        }
        discardKeepingReason(file);
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::vector<EPlaced> placed;
    if (!failed) {
        std::vector<const KResolvedPath*> directories;
        if (files.size() > 1)
            for (KFileReplacement* file : files) directories.push_back(&file->mFile);
        const DirectoryLocks locks(directories);
        for (std::size_t i = 0; i < files.size() && !failed; ++i) {
            placed.push_back(files[i]->Place(i + 1 == files.size()));
            if (placed.back() != EPlaced::eNot) continue;
            if (files[i]->mOptional)
                discardKeepingReason(files[i]);
            else
                failed = files[i];
        }
        for (std::size_t i = placed.size(); failed && i-- > 0;) files[i]->Undo(placed[i]);
        for (std::size_t i = 0; !failed && i < files.size(); ++i)
            if (placed[i] != EPlaced::eNot) files[i]->Finish(placed[i]);
    }
    if (!failed) return nullptr;
    // Why the group failed stays with the one that failed it.
    for (KFileReplacement* file : files) discardKeepingReason(file);
    return failed;
}

bool KFileReplacement::Commit() {
    if (!IsActive()) {
        mError = "Nothing to replace";
        mSystemError = 0;
        return false;
    }
    KFileReplacement* self = this;
    return CommitTogether(&self, 1) == nullptr;
}

void KFileReplacement::Discard() {
    // Only the writer's own file goes: after an undo that could not give the
    // old content back, that content keeps the name it had meanwhile.
    if (IsActive()) RemoveTemporary(mDescriptor, mTemporary, mFile);
    if (mDescriptor >= 0) ::close(mDescriptor);
    mDescriptor = -1;
    mFile.mDirectory.Reset();
    mNamed.mDirectory.Reset();
    mTemporary = "";
    mBackup = "";
    mKept = {0, 0};
}

}  // namespace zeqsdk_400
