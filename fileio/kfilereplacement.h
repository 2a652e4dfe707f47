#ifndef ZEQ_FILEIO_KFILEREPLACEMENT_H
#define ZEQ_FILEIO_KFILEREPLACEMENT_H

#include "base/kstring.h"

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
// through the link would make it. A named pipe, a device, a directory or a
// socket, or a link to one, is refused and left as it is, and so is a file
// this process may not write ("Permission denied", as opening it would be;
// root may). The file is replaced under its name: other hard links to it keep
// the old content.
//
// The replacement keeps the file's permission bits, given to the temporary
// before anything is written to it, and its owner and group where the process
// may set them (root may; others keep what they may choose). A new file gets
// what the umask allows, as any file the user makes.
//
//     KFileReplacement replacement;
//     if (!replacement.Begin(path)) ...;           // GetError() says why
//     write replacement.GetTemporaryPath() with any stream ("w" or "wb"),
//     close that stream and check every write and the close;
//     if (!(written && closed && replacement.Commit())) ...;  // target unchanged
//
// The destructor discards what was not committed. A process that dies between
// Begin and Commit leaves its temporary behind. Its writer holds a lock on it
// (flock) for its whole life, so the next Begin on the same file removes such
// a temporary only when it can take that lock itself, and only one of exactly
// the form above: nothing else of the user's goes. Where locks do not reach
// every writer (a folder that several machines share over a file system whose
// locks stay on each machine), a free lock proves nothing, so the temporary
// must also have been left unchanged for a day; a live writer keeps changing
// its own.
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
    bool Begin(const char* target);
    // The file to write while a replacement is under way; "" otherwise.
    const char* GetTemporaryPath() const { return mTemporary.Buffer(); }
    // The target as given to Begin, made absolute.
    const char* GetTargetPath() const { return mTarget.Buffer(); }
    // The file that Commit replaces: the target, or the file its links name.
    const char* GetFilePath() const { return mFile.Buffer(); }
    bool IsActive() const { return !mTemporary.IsEmpty(); }
    // Why the last Begin or Commit failed; "" after one that succeeded.
    const char* GetError() const { return mError.Buffer(); }
    // The system's error number behind that failure (EACCES, ENOSPC ...), 0 when it gave none.
    int GetSystemError() const { return mSystemError; }

    // Call once the stream on the temporary is closed. Syncs the temporary,
    // renames it over the file and syncs the directory. False, with the
    // temporary removed and the file as it was, when any of that fails, when
    // what the name holds is no longer a regular file, or when no replacement
    // is under way.
    bool Commit();
    // Removes the temporary; the target stays as it was.
    void Discard();

    // The helpers the field file's own writer shares.
    // The file a write to target replaces, as an absolute path whose
    // directories are free of links: the target, the end of its chain of
    // links, or the new file either names. False, with the reason in error,
    // when the target is refused or cannot be looked at.
    // systemError, when given, takes the system's error number behind a
    // refusal (EISDIR for a directory, ELOOP for a loop, EACCES for a file
    // this process may not write), 0 when it has none.
    static bool ResolveTarget(const char* target, KString& file, KString& error, int* systemError = nullptr);
    // True when file (as ResolveTarget answers it) names nothing or a regular
    // file, as a rename over it needs; else false with the reason in error.
    static bool CanReplace(const KString& file, KString& error);
    // "<path>.tmp<pid>.<16 lowercase hex digits>", random past the process id.
    static KString TemporaryName(const KString& path);
    // Creates a temporary of that name beside file (as ResolveTarget answers
    // it), open for reading and writing and made ready by PrepareTemporary.
    // The descriptor, or -1 with errno set.
    static int CreateTemporary(const KString& file, KString& temporary);
    // Makes an empty temporary ready before anything is written to it: locks it
    // for this writer (see above), then gives it file's owner and group where
    // this process may set them, then file's permission bits (in that order:
    // a change of owner clears the set-user-ID bit). When file does not exist
    // the temporary keeps what it was created with. False, errno set, when the
    // bits cannot be given.
    static bool PrepareTemporary(int descriptor, const KString& file);
    // Removes the temporaries of path (exactly TemporaryName's form) that no
    // writer can still be writing, as said above; the others stay.
    static void RemoveStaleTemporaries(const KString& path);
    // Makes a rename in path's directory durable.
    static void SyncDirectoryOf(const KString& path);

private:
    KString mTarget;
    KString mFile;
    KString mTemporary;
    KString mError;
    int mSystemError = 0;
    // The temporary, open (and locked) from Begin to Commit or Discard.
    int mDescriptor = -1;
    // The bits Commit gives the temporary when its owner, this process, needed
    // more to write it meanwhile; -1 when it has them already.
    int mFinalMode = -1;
};

}  // namespace zeqsdk_400

#endif
