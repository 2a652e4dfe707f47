#ifndef ZEQ_FILEIO_KFILEREPLACEMENT_H
#define ZEQ_FILEIO_KFILEREPLACEMENT_H

#include "base/kstring.h"

namespace zeqsdk_400 {

// Writes a file so that it takes its name only once it is complete. The content
// goes to a new file beside the file replaced, "<file>.tmp<pid>.<random>" (the
// same directory, so that the final rename is atomic); Commit renames it over
// that file. Until then, and for good when the writing fails or is given up, an
// existing file stays byte for byte as it was and no new file remains.
//
// What is replaced: a regular file, or a new one. A symbolic link is followed
// (through a chain of them) and the file it names is replaced, so the link
// stays a link; a dangling link gets the file it names, as a program writing
// through the link would make it. A named pipe, a device, a directory or a
// socket, or a link to one, is refused and left as it is.
//
//     KFileReplacement replacement;
//     if (!replacement.Begin(path)) ...;           // GetError() says why
//     write replacement.GetTemporaryPath() with any stream ("w" or "wb"),
//     close that stream and check every write and the close;
//     if (!(written && closed && replacement.Commit())) ...;  // target unchanged
//
// The destructor discards what was not committed. A process that dies between
// Begin and Commit leaves its temporary behind; the next Begin on the same
// file removes those of processes no longer running.
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

    // Call once the stream on the temporary is closed. Syncs the temporary,
    // gives it the access rights of the file it replaces (when there is one),
    // renames it over that file and syncs the directory. False, with the
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
    // refusal (EISDIR for a directory, ELOOP for a loop), 0 when it has none.
    static bool ResolveTarget(const char* target, KString& file, KString& error, int* systemError = nullptr);
    // True when file (as ResolveTarget answers it) names nothing or a regular
    // file, as a rename over it needs; else false with the reason in error.
    static bool CanReplace(const KString& file, KString& error);
    // "<path>.tmp<pid>.<random>": a writer that died is told by its process id.
    static KString TemporaryName(const KString& path);
    // Removes the temporaries of earlier writers of path that no longer run.
    static void RemoveStaleTemporaries(const KString& path);
    // Makes a rename in path's directory durable.
    static void SyncDirectoryOf(const KString& path);

private:
    KString mTarget;
    KString mFile;
    KString mTemporary;
    KString mError;
};

}  // namespace zeqsdk_400

#endif
