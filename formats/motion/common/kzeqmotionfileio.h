#ifndef ZEQ_FORMATS_MOTION_COMMON_KZEQMOTIONFILEIO_H
#define ZEQ_FORMATS_MOTION_COMMON_KZEQMOTIONFILEIO_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/kstring.h"
#include "fileio/kfilereplacement.h"
#include "fileio/ktextfile.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqJointNotes;

// Opens file on path with the fopen mode as KTextFile::Open does, answering as
// it does, and sets size to the size of a file opened for reading, taken from
// the file opened (never by the path again, which may name another file by
// then); 0 for a file opened for writing or one that did not open.
bool ZeqOpenTextFile(KTextFile& file, const char* path, const char* mode, std::uintmax_t& size);

// What every motion reader does around its format: a file object opened on
// the path, closed again, and the checks a read starts with.
class KZeqMotionReaderBase : public KZeqReader {
public:
    explicit KZeqMotionReaderBase(KZeqSdkManager& manager) : KZeqReader(manager) {}

    // False with error 3 when the file does not open (what is no regular file is
    // refused, with a text naming the path and what it is).
    bool FileOpen(const char* fileName) final;
    // False with error 3 when no file is open.
    bool FileClose() final;
    bool IsFileOpen() final { return mOpen; }

protected:
    // The format's file object opened on path; false when it does not open.
    virtual bool OpenFile(const char* path) = 0;
    virtual void CloseFile() = 0;

    // False with error 3 when no file is open.
    bool CheckOpen();
    // options as motion options while a file is open; null with error 3 (no
    // file) or 6 (no motion options).
    KStreamOptionsMotion* CheckRead(KStreamOptions* options);

    KString mFileName;

private:
    bool mOpen = false;
};

// What every motion writer does around its format. The file is written beside
// its target and takes its name at FileClose only when the last Write
// succeeded and everything written was stored: a refused scene or a failed
// write leaves an existing file as it was and makes no new one.
class KZeqMotionWriterBase : public KZeqWriter {
public:
    explicit KZeqMotionWriterBase(KZeqSdkManager& manager) : KZeqWriter(manager) {}
    ~KZeqMotionWriterBase() override;

    // False with error 1 "Cannot open file ... for writing." when no file can
    // be made beside fileName.
    bool FileCreate(const char* fileName) final;
    // False as WriteFailed says when what was written could not be stored, with
    // error 2 "File not created" (the system's reason in the message and the
    // error) when the file could not take its name, and with error 1 when no
    // file is open.
    bool FileClose() final;
    bool IsFileOpen() final { return mReplacement.IsActive(); }
    // Checks that a file is open (error 1) and that the options are motion
    // options (error 4), then writes the format.
    bool Write(KZeqScene& scene, KStreamOptions* options) final;

protected:
    // The format's file object writing on stream, the temporary's own, which
    // it takes (closed with it, or at once when it cannot be had): the file
    // written is never reopened by its name, which another user of a shared
    // folder may have put something else under. False when it cannot be had.
    virtual bool OpenFile(std::FILE* stream) = 0;
    // Closes the file object; false when what was written could not be stored,
    // with the system's error number of the first write that failed in systemError.
    virtual bool CloseFile(int& systemError) = 0;
    // The system's error number of the open file object's first write that
    // failed; 0 while none did.
    virtual int GetWriteError() const = 0;
    virtual bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) = 0;

    // A write the file object refused: error 3 "Out of disk space" with the
    // system's error number (GetWriteError when none is given), and "Error
    // writing "<file>": <the system's text>" as a line of the message; false.
    bool WriteFailed();
    bool WriteFailed(int systemError);
    // A scene or options the writer refuses: errorId with text, which says what
    // is refused, and the same text as a line of the message; false.
    bool Refuse(int errorId, const char* text);
    // Adds text as a line of the message.
    void AddMessageLine(const char* text);
    // Adds what notes said, a line each.
    void AddMessageLines(const KZeqJointNotes& notes);
    // The selected nodes below root (itself included) in depth-first order,
    // optical reference nodes left out (their children are still visited).
    static void CollectSelectedNodes(KZeqNode* root, std::vector<KZeqNode*>& nodes);

    // The target's name (the file written until FileClose has another).
    KString mFileName;

private:
    KFileReplacement mReplacement;
    bool mWritten = false;
};

// The front ends over a text file class File (a KTextFile): File(false) where
// it takes whether to report messages, else File().
template <class File>
std::unique_ptr<File> ZeqNewMotionFile() {
    if constexpr (std::is_constructible_v<File, bool>)
        return std::make_unique<File>(false);
    else
        return std::make_unique<File>();
}

template <class File>
class KZeqMotionFileReader : public KZeqMotionReaderBase {
public:
    using KZeqMotionReaderBase::KZeqMotionReaderBase;

protected:
    bool OpenFile(const char* path) override {
        std::unique_ptr<File> file = ZeqNewMotionFile<File>();
        if (file->Open(path, "r")) return false;
        mFile = std::move(file);
        return true;
    }
    void CloseFile() override { mFile.reset(); }

    // New motion options filled by the file's ReadOptions; null with error 3
    // (no file) or 0 (the header does not read). The caller releases them.
    KStreamOptions* ReadFileOptions() {
        if (!CheckOpen()) return nullptr;
        KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
        if (!mFile->ReadOptions(options)) {
            options->Destroy();
            mError.SetLastErrorID(eFileCorrupted);
            return nullptr;
        }
        return options;
    }

    std::unique_ptr<File> mFile;
};

template <class File>
class KZeqMotionFileWriter : public KZeqMotionWriterBase {
public:
    using KZeqMotionWriterBase::KZeqMotionWriterBase;
    ~KZeqMotionFileWriter() override { mFile.reset(); }

protected:
    bool OpenFile(std::FILE* stream) override {
        std::unique_ptr<File> file = ZeqNewMotionFile<File>();
        if (file->Adopt(stream, "w")) return false;
        mFile = std::move(file);
        return true;
    }
    bool CloseFile(int& systemError) override {
        const bool stored = !mFile || mFile->Close();
        systemError = mFile ? mFile->GetSystemError() : 0;
        mFile.reset();
        return stored;
    }
    int GetWriteError() const override { return mFile ? mFile->GetSystemError() : 0; }

    std::unique_ptr<File> mFile;
};

}  // namespace zeqsdk_400

#endif
