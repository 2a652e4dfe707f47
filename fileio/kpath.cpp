#include "fileio/kpath.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/kfilereplacement.h"
#include "fileio/kgrouprule.h"

namespace zeqsdk_400 {

namespace {

// Used when "TMPDIR" is not set.
constexpr const char* kDefaultTempPath = "/tmp/";
// Deeper trees are refused rather than exhausting file descriptors or the stack.
constexpr int kMaxRemoveDepth = 256;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view View(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// Index of the last separator, npos when none.
std::size_t LastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return i - 1;
    }
    return std::string_view::npos;
}

// Index of the dot that starts the extension of the file part, npos when none.
std::size_t ExtensionDot(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return dot;
    const std::size_t sep = LastSeparator(path);
    if (sep != std::string_view::npos && dot < sep) return std::string_view::npos;
    return dot;
}

KString ToKString(std::string_view text) { return KString(text.data() ? text.data() : "", text.size()); }

// keepParents: ".." stays a step of its own (a path the system is to walk).
std::string CleanPath(std::string_view path, bool keepParents = false) {
    if (path.empty()) return std::string();

    std::string prefix;
    std::size_t start = 0;
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
        prefix.assign(path.substr(0, 2));
        prefix += '/';
        start = 3;
    } else if (IsSeparator(path[0])) {
        prefix = "/";
        start = 1;
    }
    const bool absolute = !prefix.empty();

    std::vector<std::string_view> parts;
    std::size_t i = start;
    while (i <= path.size()) {
        std::size_t end = i;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        const std::string_view part = path.substr(i, end - i);
        if (part.empty() || part == ".") {
            // dropped
        } else if (part == ".." && keepParents) {
            parts.push_back(part);
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!absolute) {
                // A relative path may climb above its start; keep the step.
                parts.push_back(part);
            }
            // Above the root there is nothing: the step is dropped.
        } else {
            parts.push_back(part);
        }
        i = end + 1;
    }

    std::string result = prefix;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) result += '/';
        result.append(parts[k].data(), parts[k].size());
    }
    if (result.empty()) result = ".";
    return result;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes everything inside the open directory dirFd that belongs to owner. Entries
// are examined with lstat semantics and sub-directories opened with O_NOFOLLOW
// relative to their parent, so a symbolic link is removed as a link and never
// entered; what belongs to another user stays (othersLeft then set), and so does the
// directory holding it.
bool RemoveContents(int dirFd, int depth, uid_t owner, bool& othersLeft) {
    if (depth > kMaxRemoveDepth) return false;
    const int listFd = ::dup(dirFd);
    if (listFd < 0) return false;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    // Read the whole listing before removing, so removal cannot disturb the walk.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);

    bool ok = true;
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) ok = false;
            continue;
        }
        if (st.st_uid != owner) {
            othersLeft = true;
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const int sub =
                ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            struct stat opened;
            // Entered only while the name still holds the directory looked at.
            if (sub < 0 || ::fstat(sub, &opened) != 0 || !SameFile(opened, st) || opened.st_uid != owner) {
                if (sub >= 0) ::close(sub);
                ok = false;
                continue;
            }
            const bool inner = RemoveContents(sub, depth + 1, owner, othersLeft);
            ::close(sub);
            if (!inner || ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) ok = false;
        } else if (::unlinkat(dirFd, name.c_str(), 0) != 0 && errno != ENOENT) {
            ok = false;
        }
    }
    return ok;
}

}  // namespace

KString ExtractFileExtension(const char* path) {
    const std::string_view p = View(path);
    const std::size_t dot = ExtensionDot(p);
    if (dot == std::string_view::npos) return KString("");
    return ToKString(p.substr(dot + 1));
}

KString ExtractFileName(const char* path, bool keepExtension) {
    const std::string_view p = View(path);
    const std::size_t sep = LastSeparator(p);
    std::string_view name = sep == std::string_view::npos ? p : p.substr(sep + 1);
    if (!keepExtension) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string_view::npos) name = name.substr(0, dot);
    }
    return ToKString(name);
}

KString ExtractDirectoryFromFilePath(const char* path) {
    const std::string_view p = View(path);
    const std::size_t sep = LastSeparator(p);
    if (sep == std::string_view::npos) return KString("");
    return ToKString(p.substr(0, sep));
}

KString ChangeFileExtension(const char* path, const char* extension) {
    const std::string_view p = View(path);
    const std::size_t dot = ExtensionDot(p);
    std::string result(p.substr(0, dot == std::string_view::npos ? p.size() : dot));
    result += View(extension);
    return ToKString(result);
}

bool IsAbsolutePath(const char* path) {
    const std::string_view p = View(path);
    if (p.empty()) return false;
    if (IsSeparator(p[0])) return true;
    return p.size() >= 3 && IsAsciiLetter(p[0]) && p[1] == ':' && IsSeparator(p[2]);
}

KString MakeFullPath(const char* directory, const char* path) {
    const std::string_view dir = View(directory);
    const std::string_view name = View(path);
    if (IsAbsolutePath(path) || dir.empty()) return ToKString(CleanPath(name));
    if (name.empty()) return ToKString(CleanPath(dir));
    std::string joined(dir);
    joined += '/';
    joined += name;
    return ToKString(CleanPath(joined));
}

KString KAbsolutePath(const char* path) {
    const std::string_view name = View(path);
    if (IsAbsolutePath(path)) return ToKString(CleanPath(name, true));
    std::string joined = KGetCurrentDirectory().Buffer();
    joined += '/';
    joined += name;
    return ToKString(CleanPath(joined, true));
}

KString KResolvePath(const char* path) {
    const std::string_view name = View(path);
    const std::string clean = CleanPath(name);
    // Only a ".." that cancels a name can lead elsewhere than the text says.
    if (clean == CleanPath(name, true)) return ToKString(clean);
    KPathWalk walk;
    if (KWalkPath(path, walk, false)) return KString(walk.mPlace.mPath.c_str());
    return KAbsolutePath(path);
}

KString KResolvePath(const char* directory, const char* path) {
    const std::string_view dir = View(directory), name = View(path);
    if (IsAbsolutePath(path) || dir.empty()) return KResolvePath(path);
    if (name.empty()) return KResolvePath(directory);
    std::string joined(dir);
    joined += '/';
    joined += name;
    return KResolvePath(joined.c_str());
}

KString MakeRelativePath(const char* directory, const char* path) {
    const std::string_view dir = View(directory);
    if (dir.empty() || !path) return KString(path ? path : "");
    const std::string base = CleanPath(dir);
    const std::string full = CleanPath(View(path));
    if (full == base) return KString(".");
    const std::string prefix = base.back() == '/' ? base : base + '/';
    if (full.size() > prefix.size() && full.compare(0, prefix.size(), prefix) == 0) {
        return ToKString(std::string_view(full).substr(prefix.size()));
    }
    return KString(path);
}

void KCleanPath(char* path) {
    if (!path) return;
    const std::string clean = CleanPath(path);
    // Cleaning never lengthens a non-empty path, so the text fits in place.
    std::memcpy(path, clean.c_str(), clean.size() + 1);
}

KString KCleanPath(const KString& path) { return ToKString(CleanPath(std::string_view(path.Buffer(), path.GetLen()))); }

KString KGetCurrentDirectory() {
    std::vector<char> buffer(256);
    while (buffer.size() <= (1u << 20)) {
        if (::getcwd(buffer.data(), buffer.size())) return KString(buffer.data());
        if (errno != ERANGE) break;
        buffer.resize(buffer.size() * 2);
    }
    return KString("");
}

bool FileExist(const char* path) {
    if (!path || !*path) return false;
    KPathWalk walk;
    // Looked at, never opened: a named pipe with no writer would hold a blocking open.
    return KWalkPath(path, walk) && walk.mExists && S_ISREG(walk.mStat.st_mode) &&
           ::faccessat(walk.mPlace.mDirectory.Get(), walk.mPlace.mName.c_str(), R_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
}

const char* KFileKindOf(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "something else";
}

namespace {

std::string QuotedFullPath(const char* path) {
    return std::string("\"") + KAbsolutePath(path).Buffer() + "\"";
}

// Records the system's error number behind a failed open (and leaves errno at
// it); -1.
int FailedOpen(const char* path, int error, KString* refusal, int* systemError) {
    if (systemError) *systemError = error;
    if (refusal) *refusal = ("Cannot read " + QuotedFullPath(path) + ": " + std::strerror(error)).c_str();
    errno = error;
    return -1;
}

// Records that path names what is no regular file (of mode), naming it and, for a
// link, the file it links to; -1 with errno EISDIR for a directory, else 0.
int NotRegular(const char* path, mode_t mode, KString* refusal, int* systemError) {
    const int error = S_ISDIR(mode) ? EISDIR : 0;
    if (systemError) *systemError = error;
    if (refusal) {
        std::string what = "it is ";
        struct stat link;
        if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
            char* real = ::realpath(path, nullptr);
            what = std::string("it links to \"") + (real ? real : path) + "\", ";
            std::free(real);
        }
        *refusal =
            (QuotedFullPath(path) + " is not read: " + what + KFileKindOf(mode) + ", not a regular file").c_str();
    }
    errno = error;
    return -1;
}

}  // namespace

namespace {

// KOpenRegularFile's open of name in the directory at (AT_FDCWD: a path), path naming it
// in messages; more adds open flags (O_NOFOLLOW).
int OpenRegularAt(int at, const char* name, const char* path, const char* mode, int more, KString* refusal,
                  int* systemError) {
    if (systemError) *systemError = 0;
    if (refusal) *refusal = "";
    if (!path || !*path) {
        if (systemError) *systemError = ENOENT;
        if (refusal) *refusal = "No file name given";
        errno = ENOENT;
        return -1;
    }
    if (!mode || mode[0] != 'r') return FailedOpen(path, EINVAL, refusal, systemError);
    const int access = std::strchr(mode, '+') ? O_RDWR : O_RDONLY;
    const int fd = ::openat(at, name, access | more | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        const int error = errno;
        // A socket does not open (ENXIO): it is named as the other kinds are.
        if (error == ENXIO && ::fstatat(at, name, &st, 0) == 0 && !S_ISREG(st.st_mode))
            return NotRegular(path, st.st_mode, refusal, systemError);
        return FailedOpen(path, error, refusal, systemError);
    }
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return FailedOpen(path, error, refusal, systemError);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return NotRegular(path, st.st_mode, refusal, systemError);
    }
    // From here on reads wait for data as a regular file's do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return FailedOpen(path, error, refusal, systemError);
    }
    return fd;
}

// The descriptor as a stdio stream, null (the descriptor closed) when it cannot be one.
std::FILE* StreamOf(int fd, const char* path, const char* mode, KString* refusal, int* systemError) {
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, mode);
    if (!file) {
        const int error = errno;
        ::close(fd);
        FailedOpen(path, error, refusal, systemError);
    }
    return file;
}

}  // namespace

int KOpenRegularFile(const char* path, const char* mode, KString* refusal, int* systemError) {
    return OpenRegularAt(AT_FDCWD, path, path, mode, 0, refusal, systemError);
}

int KOpenResolvedDescriptor(const KResolvedPath& file, const char* mode, KString* refusal, int* systemError) {
    return OpenRegularAt(file.mDirectory.Get(), file.mName.c_str(), file.mPath.c_str(), mode, O_NOFOLLOW, refusal,
                         systemError);
}

std::FILE* KOpenResolvedForReading(const KResolvedPath& file, const char* mode, KString* refusal, int* systemError) {
    return StreamOf(KOpenResolvedDescriptor(file, mode, refusal, systemError), file.mPath.c_str(), mode, refusal,
                    systemError);
}

std::FILE* KOpenFileForReading(const char* path, const char* mode, KString* refusal, int* systemError) {
    return StreamOf(KOpenRegularFile(path, mode, refusal, systemError), path, mode, refusal, systemError);
}

bool DirectoryExist(const char* path) {
    if (!path || !*path) return false;
    KPathWalk walk;
    return KWalkPath(path, walk) && walk.mExists && S_ISDIR(walk.mStat.st_mode);
}

bool KMayWriteIn(const char* path) {
    KPathWalk walk;
    if (!path || !*path || !KWalkPath(path, walk) || !walk.mExists) {
        errno = walk.mCode != 0 ? walk.mCode : ENOENT;
        return false;
    }
    if (!S_ISDIR(walk.mStat.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return ::faccessat(walk.mPlace.mDirectory.Get(), walk.mPlace.mName.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

char* KFgets(char* buffer, int size, std::FILE* stream) {
    if (!buffer || !stream || size < 2) return nullptr;
    int count = 0;
    while (count < size - 1) {
        const int c = std::getc(stream);
        if (c == EOF) break;
        if (c == '\n') {
            buffer[count++] = '\n';
            break;
        }
        if (c == '\r') {
            const int next = std::getc(stream);
            if (next != '\n' && next != EOF) std::ungetc(next, stream);
            buffer[count++] = '\n';
            break;
        }
        buffer[count++] = static_cast<char>(c);
    }
    buffer[count] = '\0';
    return count > 0 ? buffer : nullptr;
}

bool KMappedFile(const void* address, dev_t& device, ino_t& inode) {
    std::FILE* maps = KOpenFileForReading("/proc/self/maps", "r");
    if (!maps) return false;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    char* line = nullptr;
    std::size_t size = 0;
    bool found = false;
    // "start-end permissions offset major:minor inode path", numbers in hexadecimal but the inode.
    while (!found && ::getline(&line, &size, maps) > 0) {
        unsigned long long start = 0, end = 0, offset = 0, node = 0;
        unsigned int major = 0, minor = 0;
        char permissions[8];
        if (std::sscanf(line, "%llx-%llx %7s %llx %x:%x %llu", &start, &end, permissions, &offset, &major, &minor,
                        &node) != 7 ||
            at < start || at >= end)
            continue;
        found = node != 0;
        device = makedev(major, minor);
        inode = static_cast<ino_t>(node);
        break;
    }
    std::free(line);
    std::fclose(maps);
    return found;
}

unsigned int GetTempPath(unsigned int size, char* buffer) {
    const char* env = std::getenv("TMPDIR");
    std::string path = env && *env ? env : kDefaultTempPath;
    if (path.back() != '/') path += '/';
    if (!buffer || path.size() + 1 > size) {
        // A cut path would name another directory: answer nothing instead.
        if (buffer && size > 0) buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<unsigned int>(path.size());
}

bool KCreateDirectory(const char* directory) {
    if (!directory || !*directory) return false;
    KHeldFolder folder;
    if (folder.Open(directory, true)) return true;
    errno = folder.GetSystemError() != 0 ? folder.GetSystemError() : EACCES;
    return false;
}

bool KEnsureDirectoryExistance(const char* filePath) {
    const KString directory = ExtractDirectoryFromFilePath(filePath);
    if (directory.IsEmpty()) return true;
    return KCreateDirectory(directory.Buffer());
}

bool KRemoveDirectory(const char* directory, bool* othersLeft) {
    if (othersLeft) *othersLeft = false;
    if (!directory || !*directory) return false;
    // A path naming the root, the current directory or a parent of it is never
    // what a caller means to wipe.
    const std::string clean = CleanPath(directory);
    if (clean == "/" || clean == "." || (clean.size() == 3 && clean.compare(1, 2, ":/") == 0) ||
        clean == ".." || (clean.size() >= 3 && clean.compare(clean.size() - 3, 3, "/..") == 0)) {
        return false;
    }
    KPathWalk walk;
    if (!KWalkPath(directory, walk, false)) return walk.mCode == ENOENT;
    return KRemoveDirectory(walk.mPlace, othersLeft);
}

bool KRemoveDirectory(const KResolvedPath& directory, bool* othersLeft) {
    bool ignored = false;
    bool& others = othersLeft ? *othersLeft : ignored;
    others = false;
    const int at = directory.mDirectory.Get();
    const char* name = directory.mName.c_str();
    if (at < 0 || directory.mName.empty() || directory.mName == "." || directory.mName == "..") return false;
    const uid_t owner = ::geteuid();
    struct stat st;
    if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (st.st_uid != owner) {
        others = true;
        return false;
    }
    // A link standing for the directory is removed as a link; its target stays.
    if (S_ISLNK(st.st_mode)) return ::unlinkat(at, name, 0) == 0;
    if (!S_ISDIR(st.st_mode)) return false;
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    const bool same = ::fstat(fd, &opened) == 0 && SameFile(opened, st) && opened.st_uid == owner;
    const bool ok = same && RemoveContents(fd, 0, owner, others);
    ::close(fd);
    // Only while the name still holds the directory emptied.
    return ok && ::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, st) &&
           ::unlinkat(at, name, AT_REMOVEDIR) == 0;
}

bool KLookAtFolder(int descriptor, KFolderLook& folder) {
    folder.mDescriptor = descriptor;
    return ::fstat(descriptor, &folder.mStat) == 0;
}

namespace {

// Who besides its owner may write the folder: none, its group (where that is not its owner's alone),
// or others (by its mode or an access list).
enum class EWriters { eOwner, eGroup, eOthers };

// Who may write the folder besides its owner. Its group counts as others' unless it is the owner's
// alone: for root, who may change any mode, none is; elsewhere by the system's databases
// (KGroupIsOwnersAloneBySystem). Where it is, an access list may still give anyone else the write
// its group bits show (they are then its mask, which covers every user and group it names). The
// host's stand-in judges its plug-in files by the same rule in code of its own, as it takes nothing
// of the SDK.
EWriters WritersOf(const KFolderLook& folder) {
    const mode_t mode = folder.mStat.st_mode;
    if ((mode & S_IWOTH) != 0) return EWriters::eOthers;
    if ((mode & S_IWGRP) == 0) return EWriters::eOwner;
    if (::geteuid() == 0 || !KGroupIsOwnersAloneBySystem(folder.mStat.st_uid, folder.mStat.st_gid))
        return EWriters::eGroup;
    const std::string name = "/proc/self/fd/" + std::to_string(folder.mDescriptor);
    return ::getxattr(name.c_str(), "system.posix_acl_access", nullptr, 0) < 0 && errno == ENODATA
               ? EWriters::eOwner
               : EWriters::eOthers;
}

// Users other than the folder's owner may put names in it: others may write it, or its group may
// and is not its owner's alone.
bool GroupOrOthersMayWrite(const KFolderLook& folder) { return WritersOf(folder) != EWriters::eOwner; }

// A group by name, for messages; by number where the system knows no name.
std::string GroupName(gid_t group) {
    std::vector<char> buffer(16384);
    struct group entry;
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->gr_name &&
        *found->gr_name)
        return found->gr_name;
    return "group " + std::to_string(group);
}

// Who else may put a name in a folder where KOthersMayWriteIn holds, for messages: "others", or,
// where only its group's write makes it so, that group, as what the group may hold.
std::string FolderOthersWrite(const KFolderLook& folder) {
    if (folder.mStat.st_uid == ::geteuid() && WritersOf(folder) == EWriters::eGroup)
        return "a folder its group (" + GroupName(folder.mStat.st_gid) +
               ") may write, a group that may hold other users";
    return "a folder others may write";
}

}  // namespace

bool KIsSharedStickyFolder(const KFolderLook& folder) {
    return (folder.mStat.st_mode & S_ISVTX) != 0 && GroupOrOthersMayWrite(folder);
}

bool KMayUseInSharedFolder(const struct stat& entry, const KFolderLook& folder) {
    if (!KIsSharedStickyFolder(folder)) return true;
    return entry.st_uid == ::geteuid() || entry.st_uid == folder.mStat.st_uid;
}

mode_t KPermissionsOf(int descriptor, mode_t mode) {
    mode &= 07777;
    acl_t acl = ::acl_get_fd(descriptor);
    // A descriptor that only names the file (O_PATH) reaches its list through its /proc name.
    if (!acl && errno == EBADF)
        acl = ::acl_get_file(("/proc/self/fd/" + std::to_string(descriptor)).c_str(), ACL_TYPE_ACCESS);
    // Without lists on its file system the mode says all.
    if (!acl) return errno == ENOTSUP || errno == ENOSYS ? mode : KWithoutGroupBeyondOthers(mode);
    mode_t entryBits = (mode & S_IRWXG) >> 3, maskBits = 07;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        if (::acl_get_tag_type(entry, &tag) != 0 || (tag != ACL_GROUP_OBJ && tag != ACL_MASK) ||
            ::acl_get_permset(entry, &permissions) != 0)
            continue;
        const mode_t bits = (::acl_get_perm(permissions, ACL_READ) == 1 ? 4 : 0) |
                            (::acl_get_perm(permissions, ACL_WRITE) == 1 ? 2 : 0) |
                            (::acl_get_perm(permissions, ACL_EXECUTE) == 1 ? 1 : 0);
        (tag == ACL_GROUP_OBJ ? entryBits : maskBits) = bits;
    }
    ::acl_free(acl);
    return (mode & ~S_IRWXG) | ((entryBits & maskBits) << 3);
}

bool KOthersMayWriteIn(const KFolderLook& folder) {
    // Wider than the shared sticky folders, sticky or not: a hard link bears the owner of the
    // file it names, so the owner that tells another user's link or file there from the
    // writer's own tells nothing here; whoever may put a name in the folder may put the link.
    return folder.mStat.st_uid != ::geteuid() || GroupOrOthersMayWrite(folder);
}

bool KIsOthersLink(const struct stat& entry, const KFolderLook& folder) {
    return entry.st_uid != ::geteuid() && entry.st_uid != 0 && KOthersMayWriteIn(folder);
}

std::string KWhyLinkIsNotTrusted(const struct stat& entry, const KFolderLook& folder) {
    if (KIsOthersLink(entry, folder)) return "is another user's, in " + FolderOthersWrite(folder) + ",";
    // A hard link bears the owner of the link it names: anyone who may put a name in the folder
    // may have put it there.
    if (KIsHardLinkedWhereOthersWrite(entry, folder))
        return "has more than one name, in " + FolderOthersWrite(folder) + ",";
    // Where it is not sticky, or is another user's, anyone who may write the folder may rename
    // any link in it (root, and the folder's owner where it is sticky, may anyway).
    const uid_t owner = folder.mStat.st_uid;
    const bool othersWrite = (owner != ::geteuid() && owner != 0) || GroupOrOthersMayWrite(folder);
    const bool keptToOwners = (folder.mStat.st_mode & S_ISVTX) != 0 && (owner == ::geteuid() || owner == 0);
    if (othersWrite && !keptToOwners && owner == ::geteuid() && WritersOf(folder) == EWriters::eGroup)
        return "is in " + FolderOthersWrite(folder) + ", that is not sticky, where they may rename a link to its name,";
    if (othersWrite && !keptToOwners)
        return "is in a folder others may write that is not sticky (or is another user's), where they may rename a "
               "link to its name,";
    return std::string();
}

namespace {

// As the system bounds the links of one resolution.
constexpr int kMostLinks = 40;

// A component still to walk, and whether a link's text gave it (no directory is
// made for one: as mkdir, a dangling link is no place for a directory).
struct Pending {
    std::string mPart;
    bool mFromLink;
};

// Pushes the components of text onto pending so that the first comes off first; a
// text ending in '/' ends in "." (what it names must be a directory). separators
// are the characters that end a component.
void PushComponents(std::string_view text, std::vector<Pending>& pending, bool fromLink,
                    const char* separators = "/") {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!text.empty() && text.back() == '/') parts.emplace_back(".");
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) pending.push_back({std::move(*part), fromLink});
}

}  // namespace

void KDescriptor::Reset(int fd) {
    if (mFd >= 0) ::close(mFd);
    mFd = fd;
}

namespace {

// Opens name in the directory at without following a link there: a link opens as itself.
KDescriptor OpenNamed(int at, const char* name) {
    return KDescriptor(::openat(at, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
}

// How a walk goes beyond KWalkPath's plain rules.
struct WalkRules {
    bool mFollowLast = true;
    // Missing directories are made on the way; with mCreateLast, the last component too.
    bool mCreate = false;
    bool mCreateLast = false;
    // Every directory entered and every link followed must be the effective user's.
    bool mOwnOnly = false;
    // The separators of the text walked (a held folder's names take '\' too).
    const char* mSeparators = "/";
    // No link is followed anywhere (ELOOP).
    bool mNoLinks = false;
    // Who chose what the walk is for: for a write nobody named, another user's link where others
    // may write (KIsOthersLink) is not followed.
    KNamedBy mNamedBy = KNamedBy::eUser;
    // What a directory made gets, less the umask, and the group it is to have.
    mode_t mFolderMode = 0777;
    gid_t mFolderGroup = kAnyGroup;
};

// A directory just made (held as made, O_PATH) that did not get the group it is to
// have gets no more group access than others (KWithoutGroupBeyondOthers). False, errno
// set, where that cannot be done.
bool LimitGroupOfMade(int made, const WalkRules& rules) {
    struct stat st;
    if (rules.mFolderGroup == kAnyGroup) return true;
    if (::fstat(made, &st) != 0) return false;
    const mode_t limited = KWithoutGroupBeyondOthers(st.st_mode & 07777);
    if (st.st_gid == rules.mFolderGroup || limited == (st.st_mode & 07777)) return true;
    const KDescriptor folder(::openat(made, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.Get() >= 0 && ::fchmod(folder.Get(), limited) == 0;
}

bool NotOwn(KPathWalk& walk, const std::string& what) {
    walk.mCode = EACCES;
    walk.mForeign = what;
    return false;
}

// Walks text from the directory at (held; resolved its path, "" for the root), or from
// the root where at is -1 (text then absolute). final, when given, takes what the last
// component names, held (O_PATH), when it exists.
bool WalkFrom(KDescriptor at, std::string resolved, std::string_view text, KPathWalk& walk, const WalkRules& rules,
          KDescriptor* final) {
    std::vector<Pending> pending;
    PushComponents(text, pending, false, rules.mSeparators);
    if (at.Get() < 0) {
        at = OpenNamed(AT_FDCWD, "/");
        resolved.clear();
    }
    const uid_t self = ::geteuid();
    int links = 0;
    while (!pending.empty() && at.Get() >= 0) {
        const Pending next = std::move(pending.back());
        pending.pop_back();
        const std::string& part = next.mPart;
        const bool last = pending.empty();
        if (part == "." || part == "..") {
            if (part == "..") {
                resolved.erase(resolved.empty() ? 0 : resolved.rfind('/'));
                at = OpenNamed(at.Get(), "..");
            }
            walk.mDirectoryName = last;
            continue;
        }
        walk.mDirectoryName = false;
        ++zeqdetail::gWalkCounter.mComponents;
        const std::string candidate = resolved + "/" + part;
        if (last && !next.mFromLink && walk.mNamed.mDirectory.Get() < 0)
            walk.mNamed = {KDescriptor(::fcntl(at.Get(), F_DUPFD_CLOEXEC, 0)), part, candidate};
        KDescriptor named = OpenNamed(at.Get(), part.c_str());
        if (named.Get() < 0 && errno == ENOENT && rules.mCreate && (!last || rules.mCreateLast) && !next.mFromLink) {
            // Made in the directory held; another process may make it meanwhile.
            // A group it should not have is taken from it once made: a descriptor of it held
            // meanwhile lets no one search it afterwards.
            const bool made = ::mkdirat(at.Get(), part.c_str(), rules.mFolderMode) == 0;
            if (made) named = OpenNamed(at.Get(), part.c_str());
            if ((!made && errno != EEXIST) || (made && (named.Get() < 0 || !LimitGroupOfMade(named.Get(), rules)))) {
                walk.mCode = errno;
                walk.mPlace = {std::move(at), part, candidate};
                return false;
            }
            if (!made) named = OpenNamed(at.Get(), part.c_str());
        }
        struct stat st;
        if (named.Get() < 0 || ::fstat(named.Get(), &st) != 0) {
            walk.mCode = errno;
            if (walk.mCode != ENOENT || !last) return false;
            walk.mPlace = {std::move(at), part, candidate};
            return true;
        }
        if (S_ISLNK(st.st_mode) && (rules.mFollowLast || !last)) {
            KFolderLook folder;
            if (!KLookAtFolder(at.Get(), folder)) {
                walk.mCode = errno;
                return false;
            }
            // Looked at through the descriptor whose text is followed: the link judged is the one read.
            if (walk.mOthersLink.empty() && KIsOthersLink(st, folder)) {
                walk.mOthersLink = candidate;
                walk.mOthersLinkOwner = st.st_uid;
                if (rules.mNamedBy == KNamedBy::eNobody) {
                    walk.mCode = EACCES;
                    walk.mOthersLinkRefused = true;
                    return false;
                }
            }
            // Root's own link, or this user's, where another user may have put it under its name.
            const std::string untrusted =
                rules.mNamedBy == KNamedBy::eNobody ? KWhyLinkIsNotTrusted(st, folder) : std::string();
            if (!untrusted.empty()) {
                walk.mCode = EACCES;
                walk.mUntrustedLink = candidate;
                walk.mUntrustedWhy = untrusted;
                return false;
            }
            if (!KMayUseInSharedFolder(st, folder)) {
                walk.mCode = EACCES;
                walk.mRefusedLink = candidate;
                return false;
            }
            if (rules.mOwnOnly && st.st_uid != self) return NotOwn(walk, candidate);
            if (rules.mNoLinks) {
                walk.mCode = ELOOP;
                walk.mForeign = candidate;
                return false;
            }
            if (++links > kMostLinks) {
                walk.mCode = ELOOP;
                return false;
            }
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
            const ssize_t length = ::readlinkat(named.Get(), "", target.data(), target.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
                walk.mCode = length < 0 ? errno : 0;
                walk.mUnreadableLink = candidate;
                return false;
            }
            target.resize(static_cast<std::size_t>(length));
            if (last) ++walk.mFinalLinks;
            if (target.front() == '/') {
                resolved.clear();
                at = OpenNamed(AT_FDCWD, "/");
            }
            PushComponents(target, pending, true);
            continue;
        }
        if (rules.mOwnOnly && S_ISDIR(st.st_mode) && st.st_uid != self) return NotOwn(walk, candidate);
        if (last) {
            walk.mPlace = {std::move(at), part, candidate};
            walk.mExists = true;
            walk.mStat = st;
            if (final) *final = std::move(named);
            return true;
        }
        if (!S_ISDIR(st.st_mode)) {
            walk.mCode = ENOTDIR;
            return false;
        }
        at = std::move(named);
        resolved = candidate;
    }
    // The path ended in ".", "..", or is the root.
    walk.mDirectoryName = true;
    walk.mExists = at.Get() >= 0 && ::fstat(at.Get(), &walk.mStat) == 0;
    if (!walk.mExists) walk.mCode = errno;
    if (walk.mExists && final) *final = OpenNamed(at.Get(), ".");
    walk.mPlace = {std::move(at), ".", resolved.empty() ? "/" : resolved};
    return walk.mExists;
}

bool Resolved(KPathWalk& walk) {
    if (zeqdetail::gReplacementSeams.mResolved) zeqdetail::gReplacementSeams.mResolved(walk.mPlace.mPath.c_str());
    return true;
}

std::string AbsolutePath(const char* path) { return KAbsolutePath(path).Buffer(); }

// A user by name, for messages; by number where the system knows no name.
std::string UserName(uid_t user) {
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name &&
        *found->pw_name)
        return found->pw_name;
    return "user " + std::to_string(user);
}

}  // namespace

bool KWalkPath(const char* path, KPathWalk& walk, bool followLast, bool makeFolders, KNamedBy namedBy) {
    walk = KPathWalk();
    if (!path || !*path) {
        walk.mCode = ENOENT;
        return false;
    }
    WalkRules rules;
    rules.mFollowLast = followLast;
    rules.mCreate = makeFolders;
    rules.mNamedBy = namedBy;
    return WalkFrom(KDescriptor(), std::string(), AbsolutePath(path), walk, rules, nullptr) && Resolved(walk);
}

bool KIsHardLinkedWhereOthersWrite(const struct stat& entry, const KFolderLook& folder) {
    return entry.st_nlink > 1 && KOthersMayWriteIn(folder);
}

std::string KWhyFileIsNotTrusted(const struct stat& entry, const KFolderLook& folder) {
    if (KIsHardLinkedWhereOthersWrite(entry, folder))
        return "it has other hard links, in " + FolderOthersWrite(folder) + ",";
    // Root's own needs no one's leave; nor does this user's.
    if (entry.st_uid != ::geteuid() && entry.st_uid != 0 && KOthersMayWriteIn(folder))
        return "it is another user's file (" + UserName(entry.st_uid) + "), in " + FolderOthersWrite(folder) + ",";
    return std::string();
}

std::string KWalkRefusal(const KPathWalk& walk) {
    const auto quoted = [](const std::string& path) { return "\"" + path + "\""; };
    if (walk.mOthersLinkRefused)
        return "the symbolic link " + quoted(walk.mOthersLink) + " is another user's (" +
               UserName(walk.mOthersLinkOwner) + "), in a folder others may write, and is not written through: " +
               std::strerror(walk.mCode);
    if (!walk.mUntrustedLink.empty())
        return "the symbolic link " + quoted(walk.mUntrustedLink) + " " + walk.mUntrustedWhy +
               " and is not written through: " + std::strerror(walk.mCode);
    if (!walk.mRefusedLink.empty())
        return "the symbolic link " + quoted(walk.mRefusedLink) +
               " is another user's, in a sticky folder others may write, and is not followed: " +
               std::strerror(walk.mCode);
    if (!walk.mForeign.empty() && walk.mCode == ELOOP)
        return "the symbolic link " + quoted(walk.mForeign) + " is not followed there";
    if (!walk.mForeign.empty())
        return "the folder " + quoted(walk.mForeign) + " belongs to another user and is not entered: " +
               std::strerror(walk.mCode);
    if (!walk.mUnreadableLink.empty()) return "the link " + quoted(walk.mUnreadableLink) + " cannot be read";
    if (walk.mCode == ELOOP) return "too many levels of symbolic links";
    return std::strerror(walk.mCode != 0 ? walk.mCode : ENOENT);
}

int KOpenSourceDescriptor(const char* path, KString* refusal, int* systemError, mode_t* permissions) {
    KPathWalk walk;
    if (!KWalkPath(path, walk) || !walk.mExists) {
        const int code = walk.mCode != 0 ? walk.mCode : ENOENT;
        if (systemError) *systemError = code;
        if (refusal)
            *refusal = (std::string("Cannot read \"") + AbsolutePath(path ? path : "") + "\": " + KWalkRefusal(walk))
                           .c_str();
        errno = code;
        return -1;
    }
    const char* where = walk.mPlace.mPath.c_str();
    const int fd = OpenRegularAt(walk.mPlace.mDirectory.Get(), walk.mPlace.mName.c_str(), where, "rb", O_NOFOLLOW,
                                 refusal, systemError);
    struct stat st;
    if (fd >= 0 && permissions) *permissions = ::fstat(fd, &st) == 0 ? KPermissionsOf(fd, st.st_mode) : 0;
    return fd;
}

std::FILE* KOpenSourceFile(const char* path, KString* refusal, int* systemError, mode_t* permissions) {
    return StreamOf(KOpenSourceDescriptor(path, refusal, systemError, permissions), path, "rb", refusal, systemError);
}

int KCreateScratchFile(KString* refusal) {
    char directory[4096];
    KHeldFolder folder;
    const auto failed = [&](const std::string& why, int code) {
        if (refusal) *refusal = why.c_str();
        errno = code;
        return -1;
    };
    if (GetTempPath(sizeof(directory), directory) == 0)
        return failed("the temporary folder's name is too long", ENAMETOOLONG);
    // Nobody named it: the data passing through is not put where another user's link leads.
    if (!folder.Open(directory, false, 0777, kAnyGroup, KNamedBy::eNobody))
        return failed(folder.GetError(), folder.GetSystemError() != 0 ? folder.GetSystemError() : EACCES);
    const int fd = ::openat(folder.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    const std::string cannot = "Cannot make a file in \"" + folder.GetPath() + "\": ";
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return failed(cannot + std::strerror(errno), errno);
    // Where the file system makes no unnamed file: a name no one can guess, gone at once.
    for (int round = 0; round < 16; ++round) {
        const KString name = KFileReplacement::TemporaryName("zeqscratch");
        const int named = ::openat(folder.Get(), name.Buffer(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (named < 0 && errno == EEXIST) continue;
        if (named < 0) return failed(cannot + std::strerror(errno), errno);
        ::unlinkat(folder.Get(), name.Buffer(), 0);
        return named;
    }
    return failed(cannot + std::strerror(EEXIST), EEXIST);
}

// --- KHeldFolder ---------------------------------------------------------------------------------

bool KHeldFolder::Fail(const std::string& error, int code, const std::string& reason) {
    mError = error;
    mReason = reason;
    mSystemError = code;
    errno = code != 0 ? code : EACCES;
    return false;
}

namespace {

// Holds what a walk (and final) resolved as a directory, into into/path; the reason alone otherwise.
bool HoldWalked(KPathWalk& walk, bool walked, KDescriptor& final, KDescriptor& into, std::string& path,
                std::string& reason, int& code) {
    if (!walked || !walk.mExists) {
        code = walk.mCode != 0 ? walk.mCode : ENOENT;
        reason = KWalkRefusal(walk);
        return false;
    }
    if (!S_ISDIR(walk.mStat.st_mode) || final.Get() < 0) {
        code = ENOTDIR;
        reason = std::string("it is ") + KFileKindOf(walk.mStat.st_mode) + ", not a directory";
        return false;
    }
    into = std::move(final);
    path = walk.mPlace.mPath;
    return true;
}

}  // namespace

bool KHeldFolder::Open(const char* directory, bool create, mode_t folderMode, gid_t folderGroup, KNamedBy namedBy) {
    mDirectory.Reset();
    mError.clear();
    mReason.clear();
    mSystemError = 0;
    if (!directory || !*directory) return Fail("No folder given", ENOENT);
    WalkRules rules;
    rules.mCreate = rules.mCreateLast = create;
    rules.mFolderMode = folderMode;
    rules.mFolderGroup = folderGroup;
    rules.mNamedBy = namedBy;
    KPathWalk walk;
    KDescriptor final;
    const std::string given = AbsolutePath(directory);
    const bool walked = WalkFrom(KDescriptor(), std::string(), given, walk, rules, &final);
    std::string reason;
    if (!HoldWalked(walk, walked, final, mDirectory, mPath, reason, mSystemError))
        return Fail("Cannot use the folder \"" + given + "\": " + reason, mSystemError, reason);
    Resolved(walk);
    return true;
}

bool KHeldFolder::Hold(const KResolvedPath& file) {
    mError.clear();
    mReason.clear();
    mSystemError = 0;
    mDirectory.Reset(::openat(file.mDirectory.Get(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (mDirectory.Get() < 0) return Fail("Cannot hold the folder of \"" + file.mPath + "\"", errno);
    const std::size_t slash = file.mName == "." ? std::string::npos : file.mPath.rfind('/');
    mPath = slash == std::string::npos ? file.mPath : slash == 0 ? std::string("/") : file.mPath.substr(0, slash);
    return true;
}

bool KHeldFolder::Duplicate(KHeldFolder& into) const {
    into.mDirectory.Reset(IsOpen() ? ::fcntl(mDirectory.Get(), F_DUPFD_CLOEXEC, 0) : -1);
    into.mPath = mPath;
    into.mError.clear();
    into.mReason.clear();
    into.mSystemError = 0;
    return into.IsOpen() || into.Fail("No folder held", EBADF);
}

std::string KHeldFolder::PathOf(const char* name) const {
    return mPath == "/" ? "/" + std::string(name ? name : "") : mPath + "/" + (name ? name : "");
}

bool KHeldFolder::Walk(const char* relative, KPathWalk& walk, bool followLast, KNamedBy namedBy) const {
    walk = KPathWalk();
    if (!IsOpen() || !relative || !*relative) {
        walk.mCode = !IsOpen() ? EBADF : ENOENT;
        return false;
    }
    WalkRules rules;
    rules.mFollowLast = followLast;
    rules.mSeparators = "/\\";
    rules.mNamedBy = namedBy;
    KDescriptor from(::fcntl(mDirectory.Get(), F_DUPFD_CLOEXEC, 0));
    return WalkFrom(std::move(from), mPath == "/" ? std::string() : mPath, relative, walk, rules, nullptr) &&
           Resolved(walk);
}

bool KHeldFolder::OpenBelow(const char* relative, bool create, bool ownOnly, KHeldFolder& into,
                            bool followLinks, mode_t folderMode, gid_t folderGroup) const {
    into.mDirectory.Reset();
    into.mError.clear();
    into.mReason.clear();
    into.mSystemError = 0;
    const std::string given = PathOf(relative);
    if (!IsOpen()) return into.Fail("Cannot use the folder \"" + given + "\": no folder held", EBADF);
    if (!relative || !*relative) return into.Fail("No folder given", ENOENT);
    std::vector<Pending> parts;
    PushComponents(relative, parts, false, "/\\");
    for (const Pending& part : parts)
        if (part.mPart == "..") return into.Fail("Cannot use the folder \"" + given + "\": it lies outside", EACCES);
    WalkRules rules;
    rules.mCreate = rules.mCreateLast = create;
    rules.mOwnOnly = ownOnly;
    // Stricter than a write nobody named, whose refusal, naming a link's owner, is said first.
    rules.mNamedBy = ownOnly ? KNamedBy::eNobody : KNamedBy::eUser;
    rules.mNoLinks = !followLinks;
    rules.mFolderMode = folderMode;
    rules.mFolderGroup = folderGroup;
    rules.mSeparators = "/\\";
    KPathWalk walk;
    KDescriptor final;
    const bool walked = WalkFrom(KDescriptor(::fcntl(mDirectory.Get(), F_DUPFD_CLOEXEC, 0)),
                                         mPath == "/" ? std::string() : mPath, relative, walk, rules, &final);
    std::string reason;
    if (!HoldWalked(walk, walked, final, into.mDirectory, into.mPath, reason, into.mSystemError))
        return into.Fail("Cannot use the folder \"" + given + "\": " + reason, into.mSystemError, reason);
    Resolved(walk);
    return true;
}

bool KHeldFolder::HasFile(const char* name) const {
    KPathWalk walk;
    return Walk(name, walk) && walk.mExists && S_ISREG(walk.mStat.st_mode) &&
           ::faccessat(walk.mPlace.mDirectory.Get(), walk.mPlace.mName.c_str(), R_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
}

bool KHeldFolder::RemoveFile(const char* name) const {
    if (!IsOpen() || !name || !*name) return false;
    KPathWalk walk;
    if (!Walk(name, walk, false)) return walk.mCode == ENOENT;
    if (!walk.mExists) return true;
    if (S_ISDIR(walk.mStat.st_mode) || walk.mStat.st_uid != ::geteuid()) return false;
    const int at = walk.mPlace.mDirectory.Get();
    const char* leaf = walk.mPlace.mName.c_str();
    struct stat now;
    // Only while the name still holds what was looked at.
    if (::fstatat(at, leaf, &now, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (now.st_dev != walk.mStat.st_dev || now.st_ino != walk.mStat.st_ino) return false;
    return ::unlinkat(at, leaf, 0) == 0 || errno == ENOENT;
}

bool KHeldFolder::GetPermissions(const char* name, mode_t& permissions) const {
    KPathWalk walk;
    if (!IsOpen() || !name || !*name || !Walk(name, walk, false) || !walk.mExists) return false;
    permissions = walk.mStat.st_mode & 07777;
    return true;
}

bool KHeldFolder::LimitPermissions(const char* name, mode_t permissions) const {
    KPathWalk walk;
    if (!IsOpen() || !name || !*name || !Walk(name, walk, false) || !walk.mExists) return false;
    if (!S_ISREG(walk.mStat.st_mode) || walk.mStat.st_uid != ::geteuid()) return false;
    const int at = walk.mPlace.mDirectory.Get();
    const char* leaf = walk.mPlace.mName.c_str();
    // Changed through a descriptor of what was looked at; one the owner may only write is opened so.
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    KDescriptor file(::openat(at, leaf, O_RDONLY | kFlags));
    if (file.Get() < 0 && errno == EACCES) file.Reset(::openat(at, leaf, O_WRONLY | kFlags));
    struct stat st;
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || st.st_dev != walk.mStat.st_dev ||
        st.st_ino != walk.mStat.st_ino)
        return false;
    if ((st.st_mode & 07777 & ~(permissions & 0777)) == 0) return true;
    return ::fchmod(file.Get(), st.st_mode & 0777 & permissions) == 0;
}

bool KFile::Remove(const KString& path) {
    if (path.IsEmpty()) return false;
    const std::string absolute = AbsolutePath(path.Buffer());
    const std::size_t slash = absolute.rfind('/');
    KHeldFolder folder;
    if (!folder.Open(slash == 0 ? "/" : absolute.substr(0, slash).c_str())) return folder.GetSystemError() == ENOENT;
    return folder.RemoveFile(absolute.c_str() + slash + 1);
}

}  // namespace zeqsdk_400
