#ifndef ZEQ_FILEIO_KFILEREPLACEMENT_H
#define ZEQ_FILEIO_KFILEREPLACEMENT_H

#include "base/kstring.h"

namespace zeqsdk_400 {

// Writes a file so that it takes its name only once it is complete. The content
// goes to a new file beside the target, "<target>.tmp<pid>.<random>" (the same
// directory, so that the final rename is atomic); Commit renames it over the
// target. Until then, and for good when the writing fails or is given up, an
// existing target stays byte for byte as it was and no new file remains.
//
//     KFileReplacement replacement;
//     if (!replacement.Begin(path)) ...;           // no file can be made there
//     write replacement.GetTemporaryPath() with any stream ("w" or "wb"),
//     close that stream and check every write and the close;
//     if (!(written && closed && replacement.Commit())) ...;  // target unchanged
//
// The destructor discards what was not committed. A process that dies between
// Begin and Commit leaves its temporary behind; the next Begin on the same
// target removes those of processes no longer running.
class KFileReplacement {
public:
    KFileReplacement() = default;
    ~KFileReplacement();
    KFileReplacement(const KFileReplacement&) = delete;
    KFileReplacement& operator=(const KFileReplacement&) = delete;

    // Creates the empty temporary beside target (a relative target is taken
    // from the current directory), discarding one begun before. False when it
    // cannot be created, and when target names something other than a regular
    // file (a directory, device or pipe is never replaced): the target is then
    // untouched.
    bool Begin(const char* target);
    // The file to write while a replacement is under way; "" otherwise.
    const char* GetTemporaryPath() const { return mTemporary.Buffer(); }
    const char* GetTargetPath() const { return mTarget.Buffer(); }
    bool IsActive() const { return !mTemporary.IsEmpty(); }

    // Call once the stream on the temporary is closed. Syncs the temporary,
    // gives it the access rights of the file it replaces (when there is one),
    // renames it over the target and syncs the directory. False, with the
    // temporary removed and the target as it was, when any of that fails or no
    // replacement is under way.
    bool Commit();
    // Removes the temporary; the target stays as it was.
    void Discard();

    // The helpers the field file's own writer shares.
    // "<path>.tmp<pid>.<random>": a writer that died is told by its process id.
    static KString TemporaryName(const KString& path);
    // Removes the temporaries of earlier writers of path that no longer run.
    static void RemoveStaleTemporaries(const KString& path);
    // Makes a rename in path's directory durable.
    static void SyncDirectoryOf(const KString& path);

private:
    KString mTarget;
    KString mTemporary;
};

}  // namespace zeqsdk_400

#endif
