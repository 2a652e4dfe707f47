#ifndef ZEQ_FILEIO_KFILEREPLACEMENT_H
#define ZEQ_FILEIO_KFILEREPLACEMENT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "base/kstring.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

// Writes a file so that it takes its name only once it is complete. The content
// goes to a new file beside the file replaced, "<file>.tmp<pid>.<16 hex digits>"
// (the same directory, so that the final rename is atomic); Commit renames it
// over that file. Until then, and for good when the writing fails or is given
// up, an existing file stays byte for byte as it was and no new file remains.
//
// What is replaced: a regular file, or a new one. A symbolic link is followed
// (through a chain of them) and the file it names is replaced, so the link
// stays a link; a dangling link gets the file it names, as a program writing
// through the link would make it. In a folder that is sticky and that its
// group or others may write (/tmp, KIsSharedStickyFolder), a link, as the last
// component or a directory on the way, is followed only when it belongs to
// this process's effective user or to the folder's owner, as the system's rule
// for such folders has it at its strictest whatever the machine's setting:
// another user's is refused ("Permission denied"), and the link and what it
// names are left as they are. So is, in such a folder, a regular file that
// belongs neither to this process's effective user nor to the folder's owner
// (the same rule for files): it stays that user's. A file the system keeps from change (immutable, append-only) is
// refused saying which. Every rule is applied before anything is opened. A named pipe, a device, a directory or a
// socket, or a link to one, is refused and left as it is, and so is a file
// this process may not write ("Permission denied", as opening it would be;
// root may). The file is replaced under its name: other hard links to it keep
// the old content. A file nobody named (KNamedBy::eNobody) that another user may
// have put under its name is refused as well (KWhyFileIsNotTrusted: another
// user's file, or one with other hard links, where another user may put a
// name), on the look and again when its attributes are taken.
//
// The directory the file lies in is held open from Begin on (see KWalkPath),
// and everything that follows is done in it, never by its path again: another
// user who renames a directory on the way meanwhile, and puts a link under
// its name, changes nothing of where the file is written.
//
// While it is written the temporary is its writer's alone (mode 0600): no
// other user opens it, whatever the umask. Once complete, just before it takes
// the name, it gets the replaced file's access control list, then its
// extended attributes (every user one; those of other kinds where the process
// may set them), its owner and group where the process may set them (root
// may; others keep what they may choose), and its permission bits, without the
// set-user-ID and set-group-ID bits, which no file written gets. The list
// goes first: a file system that keeps a file's list among its attributes in
// a bounded space (ext4) holds them all in that order, as the old file does.
// Where the list cannot be given, the replacement fails rather than let in
// more than the file did, and so does a group the process may not give it
// while the file's group may access it (a writer who is not in that group).
// A new file gets what a file made in its folder gets: the folder's
// default access control list where it has one, else what the umask allows.
// The temporary takes the name only while its name still holds the file
// written: in a folder others may write, another user may put something else
// under it.
//
//     KFileReplacement replacement;
//     if (!replacement.Begin(path)) ...;           // GetError() says why
//     std::FILE* out = replacement.OpenStream("wb");
//     write out, close it and check every write and the close;
//     if (!(written && closed && replacement.Commit())) ...;  // target unchanged
//
// Files written together (a main file and the companions it names) take their
// names together with CommitTogether: all of them, or none. A companion is
// begun in the folder the main file's replacement holds (GetFolder), never by
// a path walked again.
//
// The destructor discards what was not committed. A process that dies between
// Begin and Commit leaves its temporary behind. Its writer holds a lock on it
// (flock) for its whole life, so the next Begin on the same file removes such
// a temporary only when it can take that lock itself, and only one of exactly
// the form above that belongs to the process's own user: nothing else goes.
// Where locks do not reach every writer (a folder that several machines share
// over a file system whose locks stay on each machine), a free lock proves
// nothing, so the temporary must also have been left unchanged for a day; a
// live writer keeps changing its own.
class KFileReplacement {
public:
    KFileReplacement() = default;
    ~KFileReplacement();
    KFileReplacement(const KFileReplacement&) = delete;
    KFileReplacement& operator=(const KFileReplacement&) = delete;

    // Creates the empty temporary beside the file target names (a relative
    // target is taken from the current directory), discarding one begun
    // before. False, with GetError() telling why and the target untouched,
    // when the target is refused (see above) or no file can be made there.
    // With makeFolders the folders the target's path names that are missing are
    // made in the same walk (KWalkPath's). namedBy: who chose the file (KNamedBy);
    // one nobody named is not reached through another user's link where others
    // may write, sticky folder or not.
    bool Begin(const char* target, bool makeFolders = false, KNamedBy namedBy = KNamedBy::eUser);
    // The same for name (a file name, or a path below it) in folder: walked from
    // the folder held, as a companion of the file whose folder it is.
    bool Begin(const KHeldFolder& folder, const char* name, KNamedBy namedBy = KNamedBy::eUser);
    // The folder the target names the file in, held (the folder of the name
    // given to Begin, where the file is a link's: a reader that opens the file
    // by that name finds what lies beside it there): false when no replacement
    // is under way.
    bool GetFolder(KHeldFolder& folder) const;
    // The file Commit replaces, as resolved, in the directory held: to read what
    // it holds now (KOpenResolvedForReading). Valid while the replacement is under way.
    const KResolvedPath& GetFile() const { return mFile; }
    // A descriptor of its own on the temporary (open for reading and writing),
    // for a library that writes to a descriptor; the caller closes it before
    // Commit. -1, errno set, when no replacement is under way.
    int OpenDescriptor();
    // A copy's content gets no more permission than its source has: the file
    // takes what it would otherwise get less the permission bits not in
    // permissions (as cp gives a new file its source's mode under the umask).
    // Cleared by Begin.
    void LimitPermissions(mode_t permissions) { mLimit = permissions & 0777; }
    // The file being written while a replacement is under way; "" otherwise.
    // For messages only: write through OpenStream, never by this name, which
    // another user of a shared folder may have put something else under.
    const char* GetTemporaryPath() const { return mTemporary.Buffer(); }
    // A stream (fopen mode, "wb" or "w") on the temporary created by Begin,
    // through a descriptor of its own: the caller closes it before Commit.
    // Null, errno set, when no replacement is under way or none can be made.
    std::FILE* OpenStream(const char* mode = "wb");
    // The target as given to Begin, made absolute.
    const char* GetTargetPath() const { return mTarget.Buffer(); }
    // The file that Commit replaces: the target, or the file its links name.
    const char* GetFilePath() const { return mFile.mPath.c_str(); }
    bool IsActive() const { return !mTemporary.IsEmpty(); }
    // Why the last Begin or Commit failed; "" after one that succeeded.
    const char* GetError() const { return mError.Buffer(); }
    // The system's error number behind that failure (EACCES, ENOSPC ...), 0 when it gave none.
    int GetSystemError() const { return mSystemError; }

    // Call once the stream on the temporary is closed. Syncs the temporary,
    // gives it the file's owner, group and mode, renames it over the file and
    // syncs the directory. False, with the temporary removed and the file as it
    // was, when any of that fails, when what the name holds is no longer a
    // regular file, or when no replacement is under way; false too when, after
    // the rename, the file's name holds something other than the file written
    // (another user put it under the temporary's name at the last moment): what
    // they put there stays.
    bool Commit();
    // Removes the temporary; the target stays as it was.
    void Discard();

    // Commits the replacements of group under way (the others are passed
    // over) all or none, in their order: a main file goes last, after the
    // companions it names. A companion that took its name is given its old
    // content back (or removed, when new) when a later one cannot take its
    // own, so that a failed export leaves every file it was to write as it
    // was. Commits of groups in the same directories run one at a time, so
    // that groups written at once to the same files end as one group's set;
    // a group waits a few seconds at most for a directory's lock (any user who
    // may read the directory may hold it), then goes on without it, and does
    // without where it cannot take one (a directory it may not read).
    // Null when every file took its name; else the replacement that failed,
    // its GetError() saying why, with every temporary of the group removed.
    // Where the file system can neither exchange two names nor give a file a
    // second one, a companion replaced before the failure keeps the new content.
    static KFileReplacement* CommitTogether(KFileReplacement* const* group, std::size_t count);

    // A file of a group that may fail alone (a texture copy): when it cannot
    // take its name, CommitTogether discards it, its GetError() saying why,
    // and puts the others in place. Cleared by Begin.
    void SetOptional(bool optional) { mOptional = optional; }
    bool IsOptional() const { return mOptional; }

    // Writes what is left of source into the temporary (a copy of a file);
    // false, with GetError() and GetSystemError() telling why, when a read or
    // a write fails. Call before Commit, in place of a stream of one's own.
    bool CopyFrom(std::FILE* source);

    // The helpers the field file's own writer shares.
    // The file a write to target replaces: the target, the end of its chain
    // of links, or the new file either names, as its name in its directory,
    // held (see above), and file.mPath, absolute and with directories free of
    // links. False, with the reason in error, when the target is refused or
    // cannot be looked at.
    // systemError, when given, takes the system's error number behind a
    // refusal (EISDIR for a directory, ELOOP for a loop, EACCES for a file
    // this process may not write or another user's link in a shared sticky
    // folder), 0 when it has none.
    // named, when given, takes the target's own last component in the directory
    // holding it (before any link there is followed). namedBy: who chose the file (KNamedBy).
    static bool ResolveTarget(const char* target, KResolvedPath& file, KString& error, int* systemError = nullptr,
                              bool makeFolders = false, KResolvedPath* named = nullptr,
                              KNamedBy namedBy = KNamedBy::eUser);
    // The same for name walked from folder.
    static bool ResolveTarget(const KHeldFolder& folder, const char* name, KResolvedPath& file, KString& error,
                              int* systemError = nullptr, KResolvedPath* named = nullptr,
                              KNamedBy namedBy = KNamedBy::eUser);
    // Opens target for appending, as fopen's "a" does, under ResolveTarget's
    // rule (a file it refuses is not opened), creating a missing one (mode
    // 0666 less the umask) in the directory ResolveTarget holds; a pipe or
    // anything else that is no regular file is refused without waiting on it,
    // and so is, in a sticky folder its group or others may write, a file that
    // belongs neither to this process's effective user nor to the folder's
    // owner (the system's rule for such files, whatever the machine's setting), an
    // immutable file, and, in a folder another user may write, a file with
    // other hard links (one of theirs to a file they may not write). An
    // append-only file is appended to. namedBy: who chose the file (KNamedBy: a
    // log nobody named is not reached through another user's link, nor is
    // another user's file used where they may put a name). Null,
    // with the reason in error and the system's error number in systemError
    // (0 without one), when it cannot.
    static std::FILE* OpenForAppending(const char* target, KString& error, int* systemError = nullptr,
                                       KNamedBy namedBy = KNamedBy::eUser);
    // The same for name (a file name, or a path below it) in folder: walked from the folder held,
    // never by its path (a log in the folder a program keeps its own files in).
    static std::FILE* OpenForAppending(const KHeldFolder& folder, const char* name, KString& error,
                                       int* systemError = nullptr, KNamedBy namedBy = KNamedBy::eUser);
    // Opens an existing target for reading and writing where it lies (a
    // section written back into a file that was read), under OpenForAppending's
    // rules, hard links included, as a write nobody named (KNamedBy::eNobody: not
    // through another user's link where others may write, as not through their hard
    // link); an append-only file is refused too (it takes nothing but appends); a
    // missing one is not made. The descriptor (closed on exec), or -1 as
    // OpenForAppending fails.
    static int OpenForWritingInPlace(const char* target, KString& error, int* systemError = nullptr);
    // "<path>.tmp<pid>.<16 lowercase hex digits>", random past the process id.
    static KString TemporaryName(const KString& path);
    // The helpers below take file as ResolveTarget answers it, and a
    // temporary as a path beside it (TemporaryName(file.mPath.c_str())).
    // Creates a temporary of that name beside file, open for reading and
    // writing, its creator's alone and locked for this writer (see above).
    // The descriptor, or -1 with errno set.
    static int CreateTemporary(const KResolvedPath& file, KString& temporary);
    // An unnamed temporary in file's directory, its creator's alone and
    // locked for this writer: nothing is left of it when the writer dies. -1
    // where the file system makes none (errno set).
    static int CreateUnnamedTemporary(const KResolvedPath& file);
    // Puts the complete temporary open as descriptor in place of file: gives
    // it what file has (see above; a new file: what one made in its folder
    // gets) and renames it over file; SyncDirectoryOf makes that durable.
    // False, with the reason in error and the system's error number in
    // systemError (0 without one), when file is no longer a regular file, the
    // name temporary no longer holds the file open as descriptor, or any of
    // that fails; the temporary then stays where it is.
    // limit: no more permission bits than these (LimitPermissions). namedBy: who chose the
    // file (KNamedBy): for one nobody named, a file another user may have put under its
    // name meanwhile (KWhyFileIsNotTrusted) is not replaced.
    static bool PutInPlace(int descriptor, const KString& temporary, const KResolvedPath& file, KString& error,
                           int& systemError, mode_t limit = 07777, KNamedBy namedBy = KNamedBy::eUser);
    // Removes the name temporary beside file while it holds the file open as
    // descriptor; what another user put under it stays.
    static void RemoveTemporary(int descriptor, const KString& temporary, const KResolvedPath& file);
    // Removes the temporaries of file (exactly TemporaryName's form) that no
    // writer can still be writing, as said above; the others stay.
    static void RemoveStaleTemporaries(const KResolvedPath& file);
    // Makes a rename in file's directory durable.
    static void SyncDirectoryOf(const KResolvedPath& file);
    // Takes an exclusive flock on descriptor (a folder's), waiting a few
    // seconds at most: any user who may read the folder may hold its lock for
    // ever. False when it is not had; the caller then goes on without it.
    static bool LockForAWhile(int descriptor);

private:
    // How a file of a group took its name, and so how to give it back.
    enum class EPlaced { eNot, eOver, eNew, eExchanged, eLinked };

    // Puts the temporary in place as one of a group; last: nothing after it
    // can fail, so nothing needs to be kept for an undo. eNot, with the
    // reason recorded, when it fails.
    EPlaced Place(bool last);
    // Gives the file back what it held before Place.
    void Undo(EPlaced placed);
    // Drops what Place kept for an undo, once the whole group is in place.
    void Finish(EPlaced placed);
    // Begin's work once the file is resolved; target as GetTargetPath says it.
    bool BeginResolved(KResolvedPath file, KResolvedPath named, const KString& target, KNamedBy namedBy);
    // Records why the commit failed.
    void Failed(const std::string& why, int systemError);
    // True when name (in the file's directory) still holds the old content kept for an undo.
    bool HoldsKept(const char* name) const;

    KString mTarget;
    // Its directory held from Begin to Commit or Discard.
    KResolvedPath mFile;
    // The target's own name, in the directory holding it (GetFolder).
    KResolvedPath mNamed;
    KString mTemporary;
    KString mError;
    int mSystemError = 0;
    // The temporary, open (and locked) from Begin to Commit or Discard.
    int mDescriptor = -1;
    // While a group is committed: the old content's second name (eLinked).
    KString mBackup;
    // The device and inode of that old content (eExchanged, eLinked); (0, 0) without one.
    std::pair<std::uint64_t, std::uint64_t> mKept{0, 0};
    bool mOptional = false;
    // LimitPermissions'.
    mode_t mLimit = 07777;
    // Begin's: who chose the file.
    KNamedBy mNamedBy = KNamedBy::eUser;
};

namespace zeqdetail {
// Tests only: what the file system is taken to lack, so that the ways taken
// on file systems without it run on any. Process-wide; the SDK never sets it.
struct ZeqFileSystemLimits {
    // No unnamed temporaries (O_TMPFILE): the field file's writers name theirs.
    bool mNoUnnamedFiles = false;
    // No exchange of two names (RENAME_EXCHANGE): a companion's old content
    // keeps a second name (a hard link) until its group is in place.
    bool mNoExchange = false;
    // No access control list can be given to a file (setting one fails as on
    // a file system without them).
    bool mNoAclGiven = false;
};
extern ZeqFileSystemLimits gFileSystemLimits;

// Tests only: fixed points of a replacement where a test acts as another user
// of a shared folder would at that moment, so that what such a user may do
// there is tried every time, never left to a race. Process-wide; the SDK never
// sets them.
struct ZeqReplacementSeams {
    // A walk (KWalkPath) has just resolved path: what it leads to is held from here.
    void (*mResolved)(const char* path) = nullptr;
    // A temporary has just taken its name (created, or an unnamed one given it; an
    // embedded file's while it is extracted too).
    void (*mTemporaryNamed)(const char* temporary) = nullptr;
    // Just before a temporary is renamed to file (or linked there), after every
    // check of what the two names hold.
    void (*mBeforeRename)(const char* temporary, const char* file) = nullptr;
};
extern ZeqReplacementSeams gReplacementSeams;

// Tests only: how many path components the walks of this process looked at, so
// that a test can see what a walk costs without timing it. The SDK only counts.
struct ZeqWalkCounter {
    unsigned long long mComponents = 0;
};
extern ZeqWalkCounter gWalkCounter;
}  // namespace zeqdetail

}  // namespace zeqsdk_400

#endif
