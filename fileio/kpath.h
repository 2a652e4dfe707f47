#ifndef ZEQ_FILEIO_KPATH_H
#define ZEQ_FILEIO_KPATH_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/kstring.h"

namespace zeqsdk_400 {

// Who chose the file a write goes to.
//  eUser: the user named it (an export's target, a file given to a command): its links are
//   followed as the system follows them, another user's in a shared sticky folder excepted
//   (KMayUseInSharedFolder).
//  eNobody: the system writes it of its own accord (its log, its settings, a section written back
//   into a file read, what a read extracts and converts, a scratch file): no link that another
//   user may have put under its name where another user may write (KWhyLinkIsNotTrusted) is
//   followed to it, at the end of the path or on the way: the write is refused, naming the link
//   and why (another user's, KIsOthersLink, sticky folder or not; any link with more than one
//   name; any link in such a folder that is not sticky, where anyone may rename it). Nor is a
//   file there read or written that another user may have put under its name (KWhyFileIsNotTrusted).
enum class KNamedBy { eUser, eNobody };

// Path helpers. Both '/' and '\' separate directories on input.

// Text after the last '.' of the file part, "" when none.
KString ExtractFileExtension(const char* path);
// Part after the last separator; without keepExtension the text from the last '.' is cut too.
KString ExtractFileName(const char* path, bool keepExtension = true);
// Part before the last separator, "" when none.
KString ExtractDirectoryFromFilePath(const char* path);
// The path with its extension replaced (extension given with its dot).
KString ChangeFileExtension(const char* path, const char* extension);
// directory + '/' + path, cleaned as text; an absolute path is taken unchanged (cleaned).
// A ".." after a linked folder goes up from where the link leads: a file that is to be
// opened is named with KResolvePath(directory, path).
KString MakeFullPath(const char* directory, const char* path);
// A path given to the system, made absolute from the current directory as the
// system takes it: empty and "." parts dropped, every ".." kept, since it goes up
// from where a link before it leads, which only a walk knows (KWalkPath). Names
// inside files, relative to the file, are joined with MakeFullPath instead.
KString KAbsolutePath(const char* path);
// A path given to the system, as a file is to be known by (a texture's image): cleaned as
// text (KCleanPath) where that changes nothing of where it leads, else where the walk
// (KWalkPath) puts it, absolute, its folders free of links and its last component not
// followed: a ".." after a name goes up from where a link of that name leads. Where the
// walk cannot get there, the path made absolute with its ".." (an open then says why).
KString KResolvePath(const char* path);
// A name a file gives (a texture's image, a material library, a take file), relative to
// directory, the folder of the file that gives it, unless absolute: joined to it as the
// system joins it and resolved as KResolvePath resolves a path, never cleaned as text.
KString KResolvePath(const char* directory, const char* path);
// path relative to directory when it lies below it, else path unchanged.
KString MakeRelativePath(const char* directory, const char* path);
// Splits at '/' and '\', drops "." parts, resolves ".." against the previous part, rejoins with '/'.
void KCleanPath(char* path);
KString KCleanPath(const KString& path);
bool IsAbsolutePath(const char* path);

KString KGetCurrentDirectory();
// True when path names a regular file this process may read. Found as KWalkPath
// finds it: another user's link in a sticky folder others may write is not
// followed, and nothing a link names is opened (a named pipe is not woken).
bool FileExist(const char* path);
// True when path names a directory, found as FileExist finds a file.
bool DirectoryExist(const char* path);
// True when path names a directory (found as DirectoryExist finds one) that this
// process may make files in; else false with the system's reason in errno.
bool KMayWriteIn(const char* path);
// What a file of this mode is, for messages: "a directory", "a named pipe", ...
const char* KFileKindOf(mode_t mode);
// Opens path for reading with an fopen mode starting with 'r' ("r", "rb", "r+b")
// and answers the descriptor (blocking, closed on exec), or -1. Only a regular
// file, or a link to one, opens; anything else (a named pipe, a device, a
// directory, a socket) is refused without waiting on it, where a plain open of a
// pipe nobody writes would wait for ever. On failure refusal, when given, says
// why with the path made absolute ("Cannot read \"/d/a.zeq\": No such file or
// directory", "\"/d/p.zeq\" is not read: it is a named pipe, not a regular file";
// a link names the file it links to), and systemError takes the system's error
// number behind it: errno of an open that failed, EISDIR for a directory, 0 for
// the other refusals. errno is left at the same number.
int KOpenRegularFile(const char* path, const char* mode, KString* refusal = nullptr, int* systemError = nullptr);
// The same as a stdio stream, null on failure.
std::FILE* KOpenFileForReading(const char* path, const char* mode, KString* refusal = nullptr,
                               int* systemError = nullptr);
// The device and inode of the file mapped at address in this process (the code of a library loaded),
// as the system's list of the process's mappings gives them; false where no file is mapped there or
// the list cannot be read.
bool KMappedFile(const void* address, dev_t& device, ino_t& inode);
// One line of at most size - 1 characters; LF, CR and CRLF end a line (CRLF becomes LF). Null at the end.
char* KFgets(char* buffer, int size, std::FILE* stream);
// "TMPDIR" with a trailing '/', else a fixed default; never writes more than size bytes. Answers the length.
unsigned int GetTempPath(unsigned int size, char* buffer);
// Creates the directory part of a file path with its parents.
bool KEnsureDirectoryExistance(const char* filePath);
// Creates a directory with its parents in one walk (KWalkPath's), following
// links on the way only as it does (false, errno EACCES, at a link it does not
// follow): each missing directory is made (mode 0777 less the umask) in the
// one the walk holds, never through a dangling link.
bool KCreateDirectory(const char* directory);

// No group given: what is made takes the group its folder gives it.
inline constexpr gid_t kAnyGroup = static_cast<gid_t>(-1);
// mode, its group bits kept only where others have them too: for a file or folder made from
// another (a file extracted from its Zeq file) that did not get that one's group (a setgid
// folder gives its own, else the maker's), so that no group gets access the other never gave it.
inline mode_t KWithoutGroupBeyondOthers(mode_t mode) { return mode & ~(S_IRWXG & ~((mode & S_IRWXO) << 3)); }
// The permission bits (of mode, 07777) of the file open as descriptor (an O_PATH one too), as
// its users may use it: where an access control list says more than the mode, the group bits
// the mode shows are the list's mask, and the owning group's are its own entry within that
// mask. What a copy or extraction of the file may give its group and others. Where the list
// cannot be read (on a file system that has them), the group gets no more than others.
mode_t KPermissionsOf(int descriptor, mode_t mode);

// A descriptor, closed with the object.
class KDescriptor {
public:
    KDescriptor() = default;
    explicit KDescriptor(int fd) : mFd(fd) {}
    ~KDescriptor() { Reset(); }
    KDescriptor(KDescriptor&& other) noexcept : mFd(other.mFd) { other.mFd = -1; }
    KDescriptor& operator=(KDescriptor&& other) noexcept {
        if (this != &other) {
            Reset(other.mFd);
            other.mFd = -1;
        }
        return *this;
    }
    KDescriptor(const KDescriptor&) = delete;
    KDescriptor& operator=(const KDescriptor&) = delete;

    int Get() const { return mFd; }
    void Reset(int fd = -1);

private:
    int mFd = -1;
};

// A name in a directory held open, as a walk resolved it. What is done with the
// name goes relative to the descriptor: another user who may rename a directory
// on the way cannot change, after the walk looked at it, which directory that is.
struct KResolvedPath {
    // The directory (open with O_PATH), -1 before a walk.
    KDescriptor mDirectory;
    // The name in it; "." where the path names the directory itself.
    std::string mName;
    // The whole, absolute and free of links: for messages.
    std::string mPath;
};

class KHeldFolder;

// Removes a directory with everything below it that belongs to this process's
// effective user (root too removes only root's), without a shell and without
// following symbolic links: a link standing for the directory is removed as a
// link, when it is the user's. What belongs to another user stays, and so do
// the directories holding it; othersLeft, when given, is set when anything
// stayed for that reason. True when nothing is left. The path is walked as
// KWalkPath does, its last component not followed; a name held by a walk is
// removed in the directory held.
bool KRemoveDirectory(const char* directory, bool* othersLeft = nullptr);
bool KRemoveDirectory(const KResolvedPath& directory, bool* othersLeft = nullptr);

// A folder looked at: held open (any descriptor of it, O_PATH too) and as fstat describes it. Who
// besides its owner may write in it is read from both: its mode, and the group database and access
// list its group bits leave open (KGroupIsOwnersAlone).
struct KFolderLook {
    int mDescriptor = -1;
    struct stat mStat {};
};
// Looks at the folder held by descriptor; false, errno set, where fstat fails.
bool KLookAtFolder(int descriptor, KFolderLook& folder);

// The folders in which another user's name is not trusted: sticky, and one another user may write
// through its group or others (/tmp, 01770, a group's 01730; not a group of its owner's alone). There
// the sticky bit keeps each name to its owner, so the owner of a link or file tells who put it there.
bool KIsSharedStickyFolder(const KFolderLook& folder);
// The system's rules for symbolic links and regular files in sticky folders (protected links
// and files; a named pipe is refused wherever it is), one rule for both at its strictest,
// whatever the machine's settings: in a shared sticky folder (above), a link is followed, and
// an existing file written, made or read as one's own, only when it belongs to this process's
// effective user or to the folder's owner. entry as lstat describes it.
bool KMayUseInSharedFolder(const struct stat& entry, const KFolderLook& folder);
// A folder where another user may put a name, a hard link among them, sticky or not: one not
// of this process's effective user, or one another user may write through its group (not its
// owner's alone) or others.
bool KOthersMayWriteIn(const KFolderLook& folder);

// The rule of a write nobody named, the one definition: a symbolic link (entry, as lstat describes
// it) in folder is another user's, neither this process's effective user's nor root's (who needs
// no one's link to write anywhere), where another user may put a name (KOthersMayWriteIn).
bool KIsOthersLink(const struct stat& entry, const KFolderLook& folder);
// Why a write nobody named does not follow the symbolic link entry in folder (entry as lstat
// describes it): another user may have put it under its name. It is another user's
// (KIsOthersLink); it has more than one name, where another user may put a name
// (KOthersMayWriteIn): a hard link bears the owner of the link it names; or another user than
// root may write the folder, and it is not sticky (or is another user's), so that they may
// rename any link there. Null when none of these holds.
std::string KWhyLinkIsNotTrusted(const struct stat& entry, const KFolderLook& folder);
// A file (entry in folder, as lstat describes it) with other hard links where another user may put a
// name (KOthersMayWriteIn): a hard link bears the owner of the file it names, so one of them may be
// theirs, to a file of this user's that they may not write.
bool KIsHardLinkedWhereOthersWrite(const struct stat& entry, const KFolderLook& folder);
// The rule of an existing file a write nobody named would use (the log appended to, the settings read
// and replaced, a section written back, a file extracted or converted over it), the one definition: why
// it is not used, entry as lstat describes it; "" when it is. Another user may have put it under its
// name: it has other hard links there (KIsHardLinkedWhereOthersWrite), or it is another user's
// (neither this process's effective user's nor root's), named with its owner, where another user may
// put a name (KOthersMayWriteIn). The reason ends in a comma, before what is not done ("... and is
// not written to").
std::string KWhyFileIsNotTrusted(const struct stat& entry, const KFolderLook& folder);

// Where a path leads: its symbolic links followed one component at a time, as
// the system follows them, but each only where KMayUseInSharedFolder allows it, and
// at most 40 of them. Each directory is opened (O_PATH, O_NOFOLLOW) in the one
// before and each link read through its own descriptor, so that no name is
// looked up again once it was looked at.
struct KPathWalk {
    // What the path names, or, where its last component names nothing, the
    // name a write would make (the one a dangling link holds), in the directory
    // holding it; where the path ends in what can only name a directory, that
    // directory and ".".
    KResolvedPath mPlace;
    bool mExists = false;
    // What mPlace names, as lstat describes it, when it exists.
    struct stat mStat {};
    // How many links were followed at the last component (0: none).
    int mFinalLinks = 0;
    // The first link, anywhere on the way, that another user put where others may write
    // (KIsOthersLink), and its owner: "" when none. A walk for a write nobody named
    // (KNamedBy::eNobody) stops there, not following it (mOthersLinkRefused, EACCES).
    std::string mOthersLink;
    uid_t mOthersLinkOwner = 0;
    bool mOthersLinkRefused = false;
    // The path ends in what can only name a directory: ".", "..", the root, or
    // a link's text ending in '/'.
    bool mDirectoryName = false;
    // After a failure: the system's error number (ENOENT, ENOTDIR, ELOOP,
    // EACCES for a link not followed ...), and the link not followed or not
    // read, when that was the reason ("" otherwise).
    int mCode = 0;
    std::string mRefusedLink;
    std::string mUnreadableLink;
    // For a write nobody named: the link not followed because another user may have put it under
    // its name although it is not theirs, and why (KWhyLinkIsNotTrusted); "" when none.
    std::string mUntrustedLink;
    std::string mUntrustedWhy;
    // A directory or link of another user where only the effective user's are
    // entered (KHeldFolder::OpenBelow's ownOnly), "" otherwise.
    std::string mForeign;
    // The path's own last component in the directory holding it, before any
    // link it is was followed (what mPlace names where it is none), once the
    // walk got there: the files that go beside a file by its name go there.
    KResolvedPath mNamed;
};
// Walks path (a relative one from the current directory). False, with the
// reason in walk, when a link is refused or cannot be read, or a component
// before the last is missing or no directory. Without followLast a link as the
// last component is not followed: mPlace names the link. With makeFolders, each
// missing directory before the last component is made on the way (as
// KCreateDirectory makes them). namedBy: who chose what the walk is for (KNamedBy).
bool KWalkPath(const char* path, KPathWalk& walk, bool followLast = true, bool makeFolders = false,
               KNamedBy namedBy = KNamedBy::eUser);
// KOpenFileForReading of what a walk resolved, opened in the directory it holds and
// never through a link that took the name since (ELOOP).
std::FILE* KOpenResolvedForReading(const KResolvedPath& file, const char* mode, KString* refusal = nullptr,
                                   int* systemError = nullptr);
// The same as a descriptor (closed on exec), -1 on failure.
int KOpenResolvedDescriptor(const KResolvedPath& file, const char* mode, KString* refusal = nullptr,
                            int* systemError = nullptr);
// A file read to be copied or embedded: walked as KWalkPath walks (another user's
// link in a sticky folder others may write is not followed, and the refusal says
// so), then opened in the directory the walk holds as KOpenResolvedForReading
// opens (a regular file only, never waited on). permissions, when given, takes
// the file's permission bits as its users may use it (KPermissionsOf): a copy
// gets no more than those.
std::FILE* KOpenSourceFile(const char* path, KString* refusal = nullptr, int* systemError = nullptr,
                           mode_t* permissions = nullptr);
// The same as a descriptor (closed on exec), -1 on failure.
int KOpenSourceDescriptor(const char* path, KString* refusal = nullptr, int* systemError = nullptr,
                          mode_t* permissions = nullptr);
// A new file of this process's alone (0600), with no name anyone can reach, in
// the temporary folder ("TMPDIR", walked as KWalkPath walks for a file nobody
// named: KNamedBy::eNobody): for data that
// passes through a file on its way (an image converted before it is stored).
// Gone when its descriptor is closed. The descriptor (read and write), or -1
// with errno set and refusal, when given, saying why.
int KCreateScratchFile(KString* refusal = nullptr);
// What a refused walk says, after "Cannot <verb> \"<path>\": " (the reason alone).
std::string KWalkRefusal(const KPathWalk& walk);

// A directory held open (O_PATH) as one walk resolved it, and its path, absolute
// and free of links, for messages. Whatever is done in it goes relative to the
// descriptor: the files an export writes beside its main file, the folders a
// read extracts into, found once and never by their path again, so that another
// user who may rename a directory on the way cannot change which one it is.
class KHeldFolder {
public:
    KHeldFolder() = default;
    KHeldFolder(KHeldFolder&&) = default;
    KHeldFolder& operator=(KHeldFolder&&) = default;

    // Walks directory as KWalkPath does and holds what it names; with create,
    // each missing directory on the way is made as KCreateDirectory makes it, in
    // the same walk. False, with GetError() and GetSystemError() telling why.
    // folderMode: what a directory made gets (less the umask); folderGroup: the
    // group it is to have, else (KWithoutGroupBeyondOthers) no more group access
    // than others. namedBy: who chose the directory (KNamedBy), for what is made and written in it.
    bool Open(const char* directory, bool create = false, mode_t folderMode = 0777, gid_t folderGroup = kAnyGroup,
              KNamedBy namedBy = KNamedBy::eUser);
    // Holds the directory a resolved file lies in (its descriptor duplicated).
    bool Hold(const KResolvedPath& file);
    // A copy holding the same directory.
    bool Duplicate(KHeldFolder& into) const;
    // A directory below this one: relative ('/' or '\\' between its parts, no
    // "..") walked from here; with create, what is missing is made. With ownOnly,
    // every directory entered, and every link followed, must be this process's
    // effective user's: a folder another user made, or could have filled, is never
    // entered (EACCES, the reason naming it; another user's link where others may
    // write named as a write nobody named names it, KNamedBy::eNobody). Without
    // followLinks no link on the way is followed (ELOOP).
    bool OpenBelow(const char* relative, bool create, bool ownOnly, KHeldFolder& into,
                   bool followLinks = true, mode_t folderMode = 0777, gid_t folderGroup = kAnyGroup) const;

    bool IsOpen() const { return mDirectory.Get() >= 0; }
    int Get() const { return mDirectory.Get(); }
    const std::string& GetPath() const { return mPath; }
    // The path of name in it, for messages.
    std::string PathOf(const char* name) const;
    const char* GetError() const { return mError.c_str(); }
    // The reason alone, after "Cannot use the folder \"<path>\": " (KWalkRefusal's), where a walk
    // gave one; "" otherwise.
    const char* GetReason() const { return mReason.c_str(); }
    int GetSystemError() const { return mSystemError; }

    // relative walked from here as KWalkPath walks a path.
    bool Walk(const char* relative, KPathWalk& walk, bool followLast = true,
              KNamedBy namedBy = KNamedBy::eUser) const;
    // True when name here names a regular file (found as FileExist finds one).
    bool HasFile(const char* name) const;
    // Removes name here when it is this process's effective user's and no
    // directory, without following a link: a link goes as itself. True when it is gone.
    bool RemoveFile(const char* name) const;
    // The permission bits of name here, a link not followed; false when it names nothing.
    bool GetPermissions(const char* name, mode_t& permissions) const;
    // Takes from name here, a regular file of this process's effective user, every permission bit
    // not in permissions (a link is not followed): a file made from another gets no more access
    // than that one has. True when it has no more.
    bool LimitPermissions(const char* name, mode_t permissions) const;

private:
    bool Fail(const std::string& error, int code, const std::string& reason = std::string());

    KDescriptor mDirectory;
    std::string mPath;
    std::string mError;
    std::string mReason;
    int mSystemError = 0;
};

class KFile {
public:
    // Deletes a file of this process's effective user (never a directory, never
    // what a link names: a link goes as itself); true when it is gone.
    static bool Remove(const KString& path);
};

}  // namespace zeqsdk_400

#endif
