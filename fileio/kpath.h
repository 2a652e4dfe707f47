#ifndef ZEQ_FILEIO_KPATH_H
#define ZEQ_FILEIO_KPATH_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>

#include "base/kstring.h"

namespace zeqsdk_400 {

// Path helpers. Both '/' and '\' separate directories on input.

// Text after the last '.' of the file part, "" when none.
KString ExtractFileExtension(const char* path);
// Part after the last separator; without keepExtension the text from the last '.' is cut too.
KString ExtractFileName(const char* path, bool keepExtension = true);
// Part before the last separator, "" when none.
KString ExtractDirectoryFromFilePath(const char* path);
// The path with its extension replaced (extension given with its dot).
KString ChangeFileExtension(const char* path, const char* extension);
// directory + '/' + path, cleaned; an absolute path is taken unchanged (cleaned).
KString MakeFullPath(const char* directory, const char* path);
// path relative to directory when it lies below it, else path unchanged.
KString MakeRelativePath(const char* directory, const char* path);
// Splits at '/' and '\', drops "." parts, resolves ".." against the previous part, rejoins with '/'.
void KCleanPath(char* path);
KString KCleanPath(const KString& path);
bool IsAbsolutePath(const char* path);

KString KGetCurrentDirectory();
// True when the file can be opened for binary reading.
bool FileExist(const char* path);
bool DirectoryExist(const char* path);
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
// One line of at most size - 1 characters; LF, CR and CRLF end a line (CRLF becomes LF). Null at the end.
char* KFgets(char* buffer, int size, std::FILE* stream);
// "TMPDIR" with a trailing '/', else a fixed default; never writes more than size bytes. Answers the length.
unsigned int GetTempPath(unsigned int size, char* buffer);
// Creates the directory part of a file path with its parents.
bool KEnsureDirectoryExistance(const char* filePath);
// Creates a directory with its parents, following links on the way only as
// KWalkPath does (false, errno EACCES, at a link it does not follow); each
// missing one is made in the directory its walk holds.
bool KCreateDirectory(const char* directory);

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

// The rule the system applies to symbolic links in shared folders where it is
// switched on (protected symbolic links), applied by the SDK whatever the
// machine's setting: a link in a folder that is sticky and that others may
// write is followed only when it belongs to this process's effective user or
// to the folder's owner. link and folder as lstat describes them. The system's
// rule for regular files there (protected regular files) is the same test.
bool KMayFollowLink(const struct stat& link, const struct stat& folder);

// Where a path leads: its symbolic links followed one component at a time, as
// the system follows them, but each only where KMayFollowLink allows it, and
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
    // The path ends in what can only name a directory: ".", "..", the root, or
    // a link's text ending in '/'.
    bool mDirectoryName = false;
    // After a failure: the system's error number (ENOENT, ENOTDIR, ELOOP,
    // EACCES for a link not followed ...), and the link not followed or not
    // read, when that was the reason ("" otherwise).
    int mCode = 0;
    std::string mRefusedLink;
    std::string mUnreadableLink;
};
// Walks path (a relative one from the current directory). False, with the
// reason in walk, when a link is refused or cannot be read, or a component
// before the last is missing or no directory. Without followLast a link as the
// last component is not followed: mPlace names the link.
bool KWalkPath(const char* path, KPathWalk& walk, bool followLast = true);
// KOpenFileForReading of what a walk resolved, opened in the directory it holds and
// never through a link that took the name since (ELOOP).
std::FILE* KOpenResolvedForReading(const KResolvedPath& file, const char* mode, KString* refusal = nullptr,
                                   int* systemError = nullptr);

class KFile {
public:
    // Deletes a file from disk; true when it is gone.
    static bool Remove(const KString& path);
};

}  // namespace zeqsdk_400

#endif
