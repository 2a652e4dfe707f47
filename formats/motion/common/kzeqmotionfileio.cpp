#include "formats/motion/common/kzeqmotionfileio.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fileio/kpath.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

bool ZeqOpenTextFile(KTextFile& file, const char* path, const char* mode, std::uintmax_t& size) {
    size = 0;
    if (!path || !*path || (mode && *mode && mode[0] != 'r')) return file.Open(path, mode);
    if (!mode || !*mode) mode = "r";
    // Opened as KTextFile::Open opens a file for reading: a regular file only.
    std::FILE* stream = KOpenFileForReading(path, mode);
    struct stat info;
    if (stream && ::fstat(::fileno(stream), &info) == 0) size = static_cast<std::uintmax_t>(info.st_size);
    return file.Adopt(stream, mode);
}

// ---- Readers ------------------------------------------------------------------------------------

bool KZeqMotionReaderBase::FileOpen(const char* fileName) {
    if (mOpen) FileClose();
    mFileName.Empty();
    if (!fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    // The file objects open regular files only; why another did not open is told here.
    if (!OpenFile(fileName)) return FailFileNotOpened(fileName);
    mOpen = true;
    mFileName = fileName;
    return true;
}

bool KZeqMotionReaderBase::FileClose() {
    if (!CheckOpen()) return false;
    CloseFile();
    mOpen = false;
    mFileName.Empty();
    return true;
}

bool KZeqMotionReaderBase::CheckOpen() {
    if (mOpen) return true;
    mError.SetLastErrorID(eFileNotOpened);
    return false;
}

KStreamOptionsMotion* KZeqMotionReaderBase::CheckRead(KStreamOptions* options) {
    if (!CheckOpen()) return nullptr;
    if (!options || !options->Is(KStreamOptionsMotion::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return nullptr;
    }
    return static_cast<KStreamOptionsMotion*>(options);
}

// ---- Writers ------------------------------------------------------------------------------------

KZeqMotionWriterBase::~KZeqMotionWriterBase() {
    // A writer dropped without FileClose keeps nothing of what it wrote; the
    // derived file object is already gone.
    mReplacement.Discard();
}

bool KZeqMotionWriterBase::FileCreate(const char* fileName) {
    if (IsFileOpen()) FileClose();
    mWritten = false;
    mFileName.Empty();
    const bool begun = fileName && mReplacement.Begin(fileName);
    std::FILE* stream = begun ? mReplacement.OpenStream("w") : nullptr;
    const int reason = begun && !stream ? errno : mReplacement.GetSystemError();
    if (!stream || !OpenFile(stream)) {
        mReplacement.Discard();
        mError.SetLastError(eFileNotOpened,
                            (KString("Cannot open file \"") + (fileName ? fileName : "") + "\" for writing.").Buffer());
        mError.SetLastSystemError(reason);
        // Why the file was refused (not a regular file, no directory ...).
        if (*mReplacement.GetError()) mMessage += KString(mReplacement.GetError()) + ".\n";
        return false;
    }
    mFileName = fileName;
    return true;
}

bool KZeqMotionWriterBase::FileClose() {
    if (!IsFileOpen()) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    int reason = 0;
    bool closed = CloseFile(reason);
    // What a failed Write left is dropped: that Write already said why.
    if (mWritten && !closed) {
        // The buffered tail could not be stored.
        WriteFailed(reason);
    } else if (mWritten && !mReplacement.Commit()) {
        // Not the disk: the system's reason why the file could not take the name.
        mError.SetLastErrorID(eFileNotCreated);
        mError.SetLastSystemError(mReplacement.GetSystemError());
        AddMessageLine(mReplacement.GetError());
        closed = false;
    }
    mReplacement.Discard();
    mWritten = false;
    mFileName.Empty();
    return closed;
}

bool KZeqMotionWriterBase::Write(KZeqScene& scene, KStreamOptions* options) {
    mWritten = false;
    if (!IsFileOpen()) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (!options || !options->Is(KStreamOptionsMotion::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (RefuseSceneWithoutRoot(scene)) return false;
    mWritten = WriteMotion(scene, *static_cast<KStreamOptionsMotion*>(options));
    return mWritten;
}

bool KZeqMotionWriterBase::WriteFailed() { return WriteFailed(GetWriteError()); }

bool KZeqMotionWriterBase::WriteFailed(int systemError) {
    mError.SetLastErrorID(eOutOfDiskSpace);
    mError.SetLastSystemError(systemError);
    KString line = KString("Error writing \"") + mFileName + "\"";
    if (systemError != 0) line += KString(": ") + std::strerror(systemError);
    AddMessageLine(line.Buffer());
    return false;
}

bool KZeqMotionWriterBase::Refuse(int errorId, const char* text) {
    mError.SetLastError(errorId, text);
    AddMessageLine(text);
    return false;
}

void KZeqMotionWriterBase::AddMessageLine(const char* text) {
    if (!text || !*text) return;
    if (!mMessage.IsEmpty() && mMessage[mMessage.GetLen() - 1] != '\n') mMessage += "\n";
    mMessage += text;
}

void KZeqMotionWriterBase::AddMessageLines(const KZeqJointNotes& notes) {
    for (const KString& line : notes.GetLines()) AddMessageLine(line.Buffer());
}

void KZeqMotionWriterBase::CollectSelectedNodes(KZeqNode* root, std::vector<KZeqNode*>& nodes) {
    std::vector<KZeqNode*> pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (node->GetSelected(false) && !node->GetOpticalReference()) nodes.push_back(node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

}  // namespace zeqsdk_400
