#ifndef ZEQ_FILEIO_KZEQIMPL_H
#define ZEQ_FILEIO_KZEQIMPL_H

// The state behind KZeq, shared by its parts: kzeq.cpp (the public calls),
// kzeqproject.cpp (opening, creating and closing files), kzeqsection.cpp
// (sections, passwords, chunks and write-back) and kzeqembedded.cpp (embedded
// files). Internal to the field file.

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kpath.h"
#include "fileio/kzeqascii.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"
#include "fileio/kzeqcrypto.h"

namespace zeqsdk_400 {

namespace zeqdetail {
extern const char* const kZeqErrorTable[KZeq::eErrorCount];
inline std::string_view View(const char* text) { return text ? std::string_view(text) : std::string_view(); }
inline std::string_view View(const KString& text) { return std::string_view(text.Buffer(), text.GetLen()); }
}  // namespace zeqdetail

// Included only by the field file's own sources, which all work in zeqdetail.
using namespace zeqdetail;

class KZeq::Impl final : public ZeqChunkSink, public ZeqChunkLoader, public ZeqTextSink {
public:
    enum class Mode { eClosed, eRead, eWrite };

    Impl()
        : mError(zeqdetail::kZeqErrorTable, eErrorCount), mBodyWriter(mWriteBuffer, this), mAsciiWriter(mWriteBuffer, 0, this) {}

    KError mError;
    // The whole text of the last refused open or rename (FailRefused).
    KString mRefusal;
    // What the last close of a file created left undone (GetLastNotice).
    KString mNotice;
    Mode mMode = Mode::eClosed;
    bool mBinary = true;
    bool mEncrypted = false;
    bool mReadOnly = false;
    KString mPath;
    // A file being created: the file it replaces when complete (mPath, or the
    // file mPath's symbolic links name), its directory held.
    KResolvedPath mReplaced;
    // A file being created: unnamed until it is complete, or under this temporary
    // name (beside mReplaced).
    KString mTempPath;
    // A field file being created over an existing one: that file's data folder,
    // beside it in the directory held, removed once the new file is in place.
    KResolvedPath mDataFolder;
    // A file being created: no more permission bits than these, those of the
    // files embedded in it (a copy gets no more access than its source).
    mode_t mPermissionLimit = 07777;
    // The folder the last embedded file was extracted into, held: what is done
    // with that file next (a conversion) is done there.
    KHeldFolder mEmbeddedFolder;
    bool mTempAnonymous = false;
    KChainedStdioFile mFile;
    KChainedFile* mStream = nullptr;
    KZeqFileHeaderInfo mHeader;
    std::vector<ZeqSectionInfo> mSections;
    // Binary files: where section data may begin (after the header record).
    std::uint64_t mDataStart = 0;
    int mActiveSlot = 0;
    std::uint32_t mSlotSequence = 0;
    // What identifies the file opened, for write-backs: the fixed header before
    // the slots, and the file's device and inode (named files).
    std::uint8_t mHeaderPrefix[kSlotOffset] = {};
    std::uint64_t mFileDevice = 0;
    std::uint64_t mFileInode = 0;

    int mCurrent = -1;
    // Reading.
    ZeqBuffer mReadBuffer;
    ZeqBodyReader mReader;
    char mText[ZeqBodyReader::kTextRoom];  // a value read as text in place
    bool mLocked = false;
    bool mContentHidden = false;
    bool mHavePassword = false;
    std::string mPassword;
    // Last key derivation, so a password is not derived twice for one salt.
    bool mHaveDerived = false;
    std::string mDerivedPassword;
    std::uint8_t mDerivedSalt[kSaltSize] = {};
    std::uint8_t mDerivedKey[kKeySize] = {};
    std::uint8_t mDerivedVerifier[kVerifierSize] = {};
    ZeqCtrCipher mChunkCipher;
    // The record layouts last prepared for the record calls, and their shapes.
    std::vector<KZeq::RecordLayout> mRecordLayouts;
    std::vector<ZeqRecordShape> mRecordShapes;

    // Writing.
    bool mSectionWriting = false;
    int mWriteVersion = 0;
    bool mReplaceLast = false;
    ZeqBuffer mWriteBuffer;
    ZeqBodyWriter mBodyWriter;
    ZeqAsciiWriter mAsciiWriter;
    bool mSectionPasswordSet = false;
    std::string mSectionPassword;
    std::uint64_t mWriteEnd = 0;
    // Where the section being written began (its chunks and embedded files first).
    std::uint64_t mSectionStart = 0;
    // Enciphered chunks pass through it, so the caller's bytes stay untouched.
    ZeqBuffer mStage;
    KChainedStdioFile mUpdateFile;
    KChainedFile* mUpdateStream = nullptr;

    bool ErrorPending() const { return mError.GetLastErrorID() != -1; }
    void SetError(int id) { mError.SetLastErrorID(id); }
    void SetErrorOnce(int id) {
        if (!ErrorPending()) SetError(id);
    }
    bool Fail(int id) {
        SetError(id);
        return false;
    }
    // After a failed system call: the system's reason (errno) goes with the error.
    bool FailSystem(int id) {
        const int code = errno;
        SetError(id);
        mError.SetLastSystemError(code);
        return false;
    }
    // A refused open or rename: the system's reason beside the table's text, or, where the
    // system gave none, the refusal's own text (what the path names, what took the name).
    bool FailRefused(int id, const KString& refusal, int code) {
        mRefusal = refusal;
        if (code == 0)
            mError.SetLastError(id, refusal.Buffer());
        else
            SetError(id);
        mError.SetLastSystemError(code);
        return false;
    }
    // The last error again after a reset of the state, the system's reason with it.
    void KeepError(int fallback) {
        // An error already set keeps its text (why the file was refused) and system reason.
        if (mError.GetLastErrorID() >= 0) return;
        const int code = mError.GetLastSystemError();
        mError.SetLastErrorID(fallback);
        mError.SetLastSystemError(code);
    }

    bool CanWrite() const { return mSectionWriting && !ErrorPending(); }
    bool Readable() const { return mMode == Mode::eRead && mCurrent >= 0 && !mSectionWriting; }
    KChainedFile* WriteStream() { return mMode == Mode::eWrite ? mStream : mUpdateStream; }

    // After a write call: a writer that can no longer grow, or went past a limit
    // (nesting, counts), has failed the file.
    bool AfterWrite(bool ok) {
        if (!ok && (mBinary ? mBodyWriter.Failed() : mAsciiWriter.Failed())) {
            const bool memory = mBinary ? mBodyWriter.OutOfMemory() : mAsciiWriter.OutOfMemory();
            SetErrorOnce(memory ? eOutOfMemory : eOperationNotAllowed);
        }
        return ok;
    }
    bool AfterRead(bool ok) {
        if (mReader.Corrupted()) SetErrorOnce(eFileCorrupted);
        return ok;
    }

    int SectionVersion(int index) const {
        if (mSectionWriting && index == mCurrent) return mWriteVersion;
        if (index < 0 || static_cast<std::size_t>(index) >= mSections.size()) return 0;
        return mSections[static_cast<std::size_t>(index)].mVersion;
    }

    void ResetState();
    bool Open(const char* path, bool readOnly, bool openMain, KZeqFileHeaderInfo* header);
    bool OpenCommon(bool readOnly, bool openMain, KZeqFileHeaderInfo* header);
    bool OpenBinary(std::uint64_t size);
    bool OpenAscii(std::uint64_t size);
    bool Create(const char* name, bool binary, bool encrypted, KZeqFileHeaderInfo* header);
    bool CreateCommon(bool binary, bool encrypted, const KZeqFileHeaderInfo* header);
    bool Close();
    void Discard();
    bool Finish();

    bool OpenSection(int index);
    bool CloseSection();
    void BeginSectionWrite(int index, int version);
    bool CommitSection();
    bool CommitWriteBack(const ZeqSectionInfo& previousLast, bool replaced);
    bool CreateExtensionSection(bool overwriteLast);
    bool BeginWriteBack(bool replace);
    bool StillNamedFile() const;

    void Derive(std::string_view password, const std::uint8_t salt[kSaltSize]);
    bool PasswordMatches(const ZeqPasswordInfo& info, std::string_view password);
    void Unlock(const ZeqSectionInfo& section);
    bool CheckPassword(const char* password);

    bool StoreChunk(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* data, std::size_t dataSize,
                    ZeqChunkRef& ref) override;
    bool LoadChunk(const ZeqChunkRef& ref, ZeqBuffer& out) override;
    bool LoadChunkInto(const ZeqChunkRef& ref, std::uint8_t* head, std::size_t headSize, void* data) override;
    bool ChunkInSection(const ZeqChunkRef& ref) const;
    bool PutText(const std::uint8_t* text, std::size_t size) override;

    bool WriteEmbedded(const KString& fileName, const KString& relativeName);
    // Removes the data folder of the file just replaced, as far as it is the
    // writer's; mNotice says what stays.
    void RemoveDataFolder();
    // WriteEmbedded of what source holds (from its start), stored under storedName.
    bool WriteEmbeddedFrom(KChainedStdioFile& source, const KString& storedName);
    bool ReadEmbedded(KString& fileName, const KString& relativeName, const char* directory, bool* overwritten);
    // The mode an extracted file is made with: no more than the Zeq file read gives (its group
    // what the owning group may do, not an access control list's mask), and its
    // owner's alone where the section read carries a password. group takes the Zeq file's
    // group (kAnyGroup for a stream): a file or folder made that did not get it gets no more
    // group access than others.
    mode_t ExtractedFileMode(gid_t& group) const;

    KString Directory() const {
        if (mPath.IsEmpty()) return KGetCurrentDirectory();
        return ExtractDirectoryFromFilePath(mPath.Buffer());
    }
};

}  // namespace zeqsdk_400

#endif
