#ifndef ZEQ_IO_KZEQIO_H
#define ZEQ_IO_KZEQIO_H

#include <cstdio>
#include <memory>
#include <vector>

#include "base/kerror.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KFileReplacement;

class KStreamOptions;
class KZeqNode;
class KZeqScene;
class KZeqSdkManager;

// What the importer and the exporter share: the file name, an error table, the
// SDK manager, the stream options attached while a Zeq read or write runs (not
// owned) and the last message of the reader or writer.
class KZeqIO {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileVersionNotSupportedYet,
        eFileVersionNotSupportedAnymore,
        eFileNotOpened,
        eFileNotCreated,
        eOutOfDiskSpace,
        eUninitializedFilename,
        eUnidentifiedError,
        eIndexOutOfRange,
        ePasswordError,
        eStreamOptionsNotSet,
        eErrorCount
    };

    explicit KZeqIO(KZeqSdkManager& manager);
    KZeqIO(const KZeqIO&) = delete;
    KZeqIO& operator=(const KZeqIO&) = delete;
    virtual ~KZeqIO();

    // Stores the file name.
    virtual bool Initialize(const char* fileName);
    virtual KString GetFileName();
    // Passes "message - detail" (just the message for an empty detail, and
    // without the detail at all for a null one) to the progress callback of
    // the attached options; nothing while none are attached.
    virtual void ProgressUpdate(const char* title, const char* message, const char* detail, float percent);

    // The layout written by default: 6.0.0.
    static void GetCurrentVersion(int& major, int& minor, int& revision);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    void GetMessage(KString& message) const { message = mMessage; }

    KZeqSdkManager& GetSdkManager() { return mManager; }

protected:
    KError mError;
    KString mFileName;
    KZeqSdkManager& mManager;
    KStreamOptions* mStreamOptions = nullptr;
    KString mMessage;
};

// Base of every format reader: an error table, a message in which readers
// collect warnings, and the duplicate-name check.
class KZeqReader {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileVersionNotSupportedYet,
        eFileVersionNotSupportedAnymore,
        eFileNotOpened,
        eFileNotCreated,
        eWrongPassword,
        eStreamOptionsNotSet,
        eUnidentifiedError,
        eErrorCount
    };

    explicit KZeqReader(KZeqSdkManager& manager);
    KZeqReader(const KZeqReader&) = delete;
    KZeqReader& operator=(const KZeqReader&) = delete;
    virtual ~KZeqReader();

    virtual bool FileOpen(const char* fileName) = 0;
    virtual bool FileClose() = 0;
    virtual bool IsFileOpen() = 0;
    // A new option set the caller releases, or null; parseFile allows reading
    // the whole file when it keeps no summary.
    virtual KStreamOptions* GetReadOptions(bool parseFile = true) = 0;
    virtual bool Read(KZeqScene& scene, KStreamOptions* options) = 0;
    // False when two nodes of the subtree share a name; each such name is
    // appended once to message, after a line feed and four blanks.
    virtual bool CheckDuplicateNodeNames(KZeqNode* root, KString& message);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    void GetMessage(KString& message) const { message = mMessage; }
    void ClearMessage() { mMessage.Empty(); }

protected:
    // The file at path opened for reading as KOpenFileForReading opens it (only
    // a regular file, never waiting on a pipe); null with error 3 when it does not.
    std::FILE* OpenFileForReading(const char* path, const char* mode);
    // Sets error 3 for a file the format's own open refused, with why, from what
    // path names now; false.
    bool FailFileNotOpened(const char* path);
    // Error 3 with the system's reason, its text naming the path and the reason
    // ("File not opened: /d/x.bvh (No such file or directory)"), or without one
    // (what is no regular file) the refusal's text naming the path and what it is.
    void SetFileNotOpened(const char* path, const KString& refusal, int systemError);
    // "File not opened: <path made full> (<the system's reason>)".
    static KString FileNotOpenedText(const char* path, int systemError);

    KZeqSdkManager& mManager;
    KError mError;
    KString mMessage;
};

// Base of every format writer, with the checks writers run on node trees.
class KZeqWriter {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileNotOpened,
        eFileNotCreated,
        eOutOfDiskSpace,
        eStreamOptionsNotSet,
        eUnidentifiedError,
        eErrorCount
    };

    explicit KZeqWriter(KZeqSdkManager& manager);
    KZeqWriter(const KZeqWriter&) = delete;
    KZeqWriter& operator=(const KZeqWriter&) = delete;
    virtual ~KZeqWriter();

    virtual bool FileCreate(const char* fileName) = 0;
    virtual bool FileClose() = 0;
    virtual bool IsFileOpen() = 0;
    // A new option set the caller releases.
    virtual KStreamOptions* GetWriteOptions() = 0;
    virtual bool Write(KZeqScene& scene, KStreamOptions* options) = 0;
    // The first selected node on the single-child chain below the root's only
    // child; null when the root has not exactly one child or the chain forks
    // before a selected node.
    virtual KZeqNode* FindRootNode(KZeqScene& scene);
    // False when a name of the subtree holds a blank, tab or line feed; each
    // such name is appended to message (parent before children).
    virtual bool CheckSpaceInNodeNameRecursive(KZeqNode* node, KString& message);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    void GetMessage(KString& message) const { message = mMessage; }
    void ClearMessage() { mMessage.Empty(); }

    // Why a scene without a root node is not written: every writer walks the tree from it.
    static const char* const kNoRootNode;

protected:
    // True, with the error (eUnidentifiedError with kNoRootNode) and a line of
    // the message, when the scene has no root node: nothing is written then.
    bool RefuseSceneWithoutRoot(KZeqScene& scene);
    // Records that replacement refused the target (its Begin) or could not put
    // the written file in place (its Commit): errorId with the system's reason,
    // and the replacement's text as a line of the message.
    void ReplacementFailed(const KFileReplacement& replacement, int errorId);
    // Copies the image at source under its own name into the folder main (the
    // replacement of the file written, begun) holds, as a companion of that file:
    // found there, never by a walk of its own; kept as its temporary in copies
    // until the export puts its files in place together
    // (KFileReplacement::CommitTogether), unless a file of that name is there or
    // among copies already. The source is read under the walk's rule for links,
    // and the copy gets no more permission than the source has. The copy may
    // fail alone (KFileReplacement::SetOptional): when it cannot take its name
    // the others still take theirs, and the caller says why. False, with a line
    // of the message giving the reason, when source cannot be read or the copy
    // cannot be written.
    bool CopyTextureBeside(const char* source, const KFileReplacement& main,
                           std::vector<std::unique_ptr<KFileReplacement>>& copies);
    // After the copies' group was put in place: a line of the message for each copy
    // that could not take its name and was left out.
    void ReportTextureCopiesLeftOut(const std::vector<std::unique_ptr<KFileReplacement>>& copies);

    KZeqSdkManager& mManager;
    KError mError;
    KString mMessage;

private:
    // A line of the message for a texture copy that failed, with the system's reason.
    void TextureCopyFailed(const KFileReplacement& copy, const KString& destination);
};

}  // namespace zeqsdk_400

#endif
