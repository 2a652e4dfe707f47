#include "fileio/kzeq.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kpath.h"
#include "fileio/kzeqascii.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"
#include "fileio/kzeqcrypto.h"

namespace zeqsdk_400 {

using namespace zeqdetail;

namespace {

const char* const kErrorTable[KZeq::eErrorCount] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "File write error",
    "Operation not allowed on this file",
    "Embedded file cannot be extracted",
    "Out of memory",
};

constexpr const char* kDefaultCreator = "Zeq SDK";
// Embedded files move through memory in slices of this size.
constexpr std::size_t kCopyChunk = 1 << 20;

std::string_view View(const char* text) { return text ? std::string_view(text) : std::string_view(); }
std::string_view View(const KString& text) { return std::string_view(text.Buffer(), text.GetLen()); }

// A relative path that stays inside the directory it is joined to.
bool IsConfinedName(const KString& name) {
    if (name.IsEmpty() || IsAbsolutePath(name.Buffer())) return false;
    const std::string_view text = View(name);
    if (text.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    bool any = false;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view part = text.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") any = true;
        start = end + 1;
    }
    return any;
}

bool IsZeqExtension(const char* path) {
    const KString extension = ExtractFileExtension(path);
    return extension.GetLen() == 3 && extension.CompareNoCase("zeq") == 0;
}

}  // namespace

// --- KZeqFileHeaderInfo --------------------------------------------------------------

KZeqFileHeaderInfo::KZeqFileHeaderInfo() { Reset(); }

void KZeqFileHeaderInfo::Reset() {
    mCameraName = "";
    mResolutionMode = "";
    mResolutionW = 0.0;
    mResolutionH = 0.0;
    mCreationTimeStamp = kLocalTime{0, 0, 0, 0, 0, 0, 0};
    mCreator = "";
    mFileVersion = KZeq::kDefaultFileVersion;
}

// --- Impl ------------------------------------------------------------------------------------

class KZeq::Impl final : public ZeqChunkSink, public ZeqChunkLoader, public ZeqTextSink {
public:
    enum class Mode { eClosed, eRead, eWrite };

    Impl()
        : mError(kErrorTable, eErrorCount), mBodyWriter(mWriteBuffer, this), mAsciiWriter(mWriteBuffer, 0, this) {}

    KError mError;
    Mode mMode = Mode::eClosed;
    bool mBinary = true;
    bool mEncrypted = false;
    bool mReadOnly = false;
    KString mPath;
    KString mTempPath;
    KChainedStdioFile mFile;
    KChainedFile* mStream = nullptr;
    KZeqFileHeaderInfo mHeader;
    std::vector<ZeqSectionInfo> mSections;
    // Binary files: where section data may begin (after the header record).
    std::uint64_t mDataStart = 0;
    int mActiveSlot = 0;
    std::uint32_t mSlotSequence = 0;

    int mCurrent = -1;
    // Reading.
    ZeqBuffer mReadBuffer;
    ZeqBodyReader mReader;
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

    void Derive(std::string_view password, const std::uint8_t salt[kSaltSize]);
    bool PasswordMatches(const ZeqPasswordInfo& info, std::string_view password);
    void Unlock(const ZeqSectionInfo& section);
    bool CheckPassword(const char* password);

    bool StoreChunk(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* data, std::size_t dataSize,
                    ZeqChunkRef& ref) override;
    bool LoadChunk(const ZeqChunkRef& ref, ZeqBuffer& out) override;
    bool PutText(const std::uint8_t* text, std::size_t size) override;

    bool WriteEmbedded(const KString& fileName, const KString& relativeName);
    bool ReadEmbedded(KString& fileName, const KString& relativeName, const char* directory, bool* overwritten);

    KString Directory() const {
        if (mPath.IsEmpty()) return KGetCurrentDirectory();
        return ExtractDirectoryFromFilePath(mPath.Buffer());
    }
};

void KZeq::Impl::ResetState() {
    mMode = Mode::eClosed;
    mBinary = true;
    mEncrypted = false;
    mReadOnly = false;
    mPath = "";
    mTempPath = "";
    mStream = nullptr;
    mHeader.Reset();
    mSections.clear();
    mDataStart = 0;
    mActiveSlot = 0;
    mSlotSequence = 0;
    mCurrent = -1;
    mReader.Clear();
    mReadBuffer.Release();
    mLocked = false;
    mContentHidden = false;
    mHavePassword = false;
    mPassword.clear();
    mHaveDerived = false;
    mDerivedPassword.clear();
    mSectionWriting = false;
    mReplaceLast = false;
    mWriteBuffer.Release();
    mBodyWriter.Reset();
    mAsciiWriter.Reset();
    mSectionPasswordSet = false;
    mSectionPassword.clear();
    mWriteEnd = 0;
    mSectionStart = 0;
    mStage.Release();
    mUpdateFile.Close();
    mUpdateStream = nullptr;
}

// --- opening -----------------------------------------------------------------------------------

bool KZeq::Impl::Open(const char* path, bool readOnly, bool openMain, KZeqFileHeaderInfo* header) {
    if (mMode != Mode::eClosed) Close();
    ResetState();
    mError.ClearLastError();
    if (!path || !*path || !mFile.Open(path, "rb")) return Fail(eFileNotOpened);
    mPath = MakeFullPath(KGetCurrentDirectory().Buffer(), path);
    mStream = &mFile;
    return OpenCommon(readOnly, openMain, header);
}

bool KZeq::Impl::OpenCommon(bool readOnly, bool openMain, KZeqFileHeaderInfo* header) {
    const std::uint64_t size = mStream->GetSize();
    std::uint8_t magic[kMagicSize] = {};
    const bool haveMagic = mStream->Seek(0) && mStream->Read(magic, kMagicSize) == kMagicSize;
    const bool ok = haveMagic && HasBinaryMagic(magic, kMagicSize) ? OpenBinary(size) : OpenAscii(size);
    if (!ok) {
        const int error = mError.GetLastErrorID();
        mFile.Close();
        ResetState();
        mError.SetLastErrorID(error < 0 ? eFileCorrupted : error);
        return false;
    }
    mMode = Mode::eRead;
    mReadOnly = readOnly;
    if (header) *header = mHeader;
    if (openMain && !OpenSection(0)) {
        const int error = mError.GetLastErrorID();
        mFile.Close();
        ResetState();
        mError.SetLastErrorID(error < 0 ? eFileCorrupted : error);
        return false;
    }
    return true;
}

namespace {
int ErrorOf(ZeqOpenResult result) {
    switch (result) {
        case ZeqOpenResult::eTooNew:
            return KZeq::eFileVersionNotSupportedYet;
        case ZeqOpenResult::eTooOld:
            return KZeq::eFileVersionNotSupportedAnymore;
        case ZeqOpenResult::eIoError:
            return KZeq::eFileNotOpened;
        default:
            return KZeq::eFileCorrupted;
    }
}
}  // namespace

bool KZeq::Impl::OpenBinary(std::uint64_t size) {
    ZeqBinaryHeader header;
    const ZeqOpenResult result = ReadBinaryHeader(*mStream, size, header);
    if (result != ZeqOpenResult::eOk) return Fail(ErrorOf(result));
    mHeader.mFileVersion = static_cast<int>(header.mFileVersion);
    if (!ReadHeaderInfo(*mStream, size, header, mHeader)) return Fail(eFileCorrupted);
    mDataStart = kFixedHeaderSize + header.mInfoLength;
    int slot = 0;
    if (!ReadSectionTable(*mStream, size, header, mSections, slot)) return Fail(eFileCorrupted);
    mActiveSlot = slot;
    mSlotSequence = header.mSlots[slot].mSequence;
    mBinary = true;
    mEncrypted = (header.mFlags & kFileFlagEncrypted) != 0;
    return true;
}

bool KZeq::Impl::OpenAscii(std::uint64_t size) {
    if (size == 0) return Fail(eFileCorrupted);
    if (!mStream->Seek(0)) return Fail(eFileNotOpened);
    ZeqAsciiFile file;
    const ZeqOpenResult result = ParseAsciiStream(*mStream, size, file);
    if (result != ZeqOpenResult::eOk) return Fail(ErrorOf(result));
    mHeader = file.mHeader;
    mHeader.mFileVersion = file.mFileVersion;
    mSections = std::move(file.mSections);
    mBinary = false;
    mEncrypted = false;
    return true;
}

// --- creating -------------------------------------------------------------------------------------

bool KZeq::Impl::Create(const char* name, bool binary, bool encrypted, KZeqFileHeaderInfo* header) {
    if (mMode != Mode::eClosed) Close();
    ResetState();
    mError.ClearLastError();
    if (!name || !*name) return Fail(eFileNotCreated);
    const int version = header ? header->mFileVersion : kDefaultFileVersion;
    if (version >= kFirstUnsupportedFileVersion) return Fail(eFileVersionNotSupportedYet);
    if (version < kMinimumFileVersion) return Fail(eFileVersionNotSupportedAnymore);

    KString path(name);
    if (ExtractFileExtension(name).IsEmpty()) path += ".zeq";
    path = MakeFullPath(KGetCurrentDirectory().Buffer(), path.Buffer());
    if (IsZeqExtension(path.Buffer())) {
        // Data that belonged to the file being replaced.
        KRemoveDirectory(ChangeFileExtension(path.Buffer(), ".zqd").Buffer());
    }
    std::uint8_t random[8] = {};
    RandomBytes(random, sizeof(random));
    mTempPath = path + ".tmp" + KString(ToHex(random, sizeof(random)).c_str());
    if (!mFile.Open(mTempPath.Buffer(), "wb")) {
        mTempPath = "";
        return Fail(eFileNotCreated);
    }
    mPath = path;
    mStream = &mFile;
    if (!CreateCommon(binary, encrypted, header)) {
        const int error = mError.GetLastErrorID();
        Discard();
        mError.SetLastErrorID(error < 0 ? eFileNotCreated : error);
        return false;
    }
    return true;
}

bool KZeq::Impl::CreateCommon(bool binary, bool encrypted, const KZeqFileHeaderInfo* header) {
    mMode = Mode::eWrite;
    mEncrypted = encrypted;
    mBinary = binary || encrypted;
    if (header) mHeader = *header;
    if (mHeader.mCreationTimeStamp.mYear == 0) KLib_GetCurrentLocalTime(mHeader.mCreationTimeStamp);
    if (mHeader.mCreator.IsEmpty()) mHeader.mCreator = kDefaultCreator;

    ZeqBuffer prologue;
    if (mBinary) {
        ZeqBuffer info;
        if (!EncodeHeaderInfo(mHeader, info) || info.Size() > 0xFFFFFFFFu) return Fail(eOutOfMemory);
        std::uint8_t fixed[kFixedHeaderSize];
        BuildFixedHeader(fixed, static_cast<std::uint32_t>(mHeader.mFileVersion),
                         mEncrypted ? kFileFlagEncrypted : 0, static_cast<std::uint32_t>(info.Size()),
                         Crc32(0, info.Data(), info.Size()));
        prologue.Append(fixed, sizeof(fixed));
        prologue.Append(info.Data(), info.Size());
    } else {
        AppendAsciiPrologue(prologue, mHeader);
    }
    if (prologue.Failed()) return Fail(eOutOfMemory);
    if (!mStream->Seek(0) || !mStream->Truncate(0) || mStream->Write(prologue.Data(), prologue.Size()) != prologue.Size()) {
        return Fail(eFileNotCreated);
    }
    mWriteEnd = prologue.Size();
    BeginSectionWrite(0, mHeader.mFileVersion);
    return true;
}

void KZeq::Impl::Discard() {
    if (!mTempPath.IsEmpty()) {
        mFile.Close();
        KFile::Remove(mTempPath);
    }
    mFile.Close();
    const int error = mError.GetLastErrorID();
    const KString text = mError.GetLastErrorString();
    ResetState();
    if (error >= 0) mError.SetLastError(error, text.Buffer());
}

bool KZeq::Impl::Finish() {
    ZeqBuffer tail;
    if (mBinary) {
        if (!EncodeSectionTable(mSections, tail)) return Fail(eOutOfMemory);
        std::uint8_t slot[kSlotSize];
        BuildSlot(slot, mWriteEnd, tail.Size(), 1);
        if (!mStream->Seek(mWriteEnd) || mStream->Write(tail.Data(), tail.Size()) != tail.Size()) {
            return Fail(eFileWriteError);
        }
        if (!mStream->Seek(kSlotOffset) || mStream->Write(slot, kSlotSize) != kSlotSize) return Fail(eFileWriteError);
    } else {
        AppendAsciiEnd(tail);
        if (!mStream->Seek(mWriteEnd) || mStream->Write(tail.Data(), tail.Size()) != tail.Size()) {
            return Fail(eFileWriteError);
        }
    }
    if (!mStream->Flush()) return Fail(eFileWriteError);
    if (!mTempPath.IsEmpty()) {
        if (!mFile.Close()) return Fail(eFileWriteError);
        if (std::rename(mTempPath.Buffer(), mPath.Buffer()) != 0) return Fail(eFileNotCreated);
        mTempPath = "";
    }
    return true;
}

bool KZeq::Impl::Close() {
    if (mMode == Mode::eClosed) return Fail(eFileNotOpened);
    bool ok = true;
    if (mSectionWriting) ok = CommitSection();
    if (mMode == Mode::eWrite) {
        if (ErrorPending() || !Finish()) {
            Discard();
            return false;
        }
    }
    mFile.Close();
    const int error = mError.GetLastErrorID();
    const KString text = mError.GetLastErrorString();
    ResetState();
    if (error >= 0) mError.SetLastError(error, text.Buffer());
    return ok;
}

// --- sections ---------------------------------------------------------------------------------------

void KZeq::Impl::Derive(std::string_view password, const std::uint8_t salt[kSaltSize]) {
    if (mHaveDerived && mDerivedPassword == password && std::memcmp(mDerivedSalt, salt, kSaltSize) == 0) return;
    DerivePasswordKey(password, salt, mDerivedKey, mDerivedVerifier);
    mDerivedPassword.assign(password.data(), password.size());
    std::memcpy(mDerivedSalt, salt, kSaltSize);
    mHaveDerived = true;
}

bool KZeq::Impl::PasswordMatches(const ZeqPasswordInfo& info, std::string_view password) {
    if (!info.Has()) return true;
    Derive(password, info.mSalt);
    return SameBytes(mDerivedVerifier, info.mVerifier, kVerifierSize);
}

// Makes the open section's content readable; the derived key is current.
void KZeq::Impl::Unlock(const ZeqSectionInfo& section) {
    if (mBinary && mEncrypted && mContentHidden) {
        ZeqCtrCipher cipher;
        cipher.SetKey(mDerivedKey, section.mNonce);
        cipher.Apply(mReadBuffer.Data(), mReadBuffer.Size(), 0);
        mReader.Reset(mReadBuffer.Data(), mReadBuffer.Size(), this);
    }
    mContentHidden = false;
    mLocked = false;
}

bool KZeq::Impl::OpenSection(int index) {
    if (mMode != Mode::eRead || mSectionWriting) return false;
    if (mCurrent >= 0) CloseSection();
    if (index < 0 || static_cast<std::size_t>(index) >= mSections.size()) return false;
    const ZeqSectionInfo& section = mSections[static_cast<std::size_t>(index)];
    mLocked = false;
    mContentHidden = false;
    if (mBinary) {
        if (!ReadSectionBytes(*mStream, section, mReadBuffer)) {
            const bool memory = mReadBuffer.Failed();
            mReadBuffer.Release();
            return Fail(memory ? eOutOfMemory : eFileCorrupted);
        }
        if (mEncrypted && !section.mPassword.Has()) {
            std::uint8_t key[kKeySize];
            BuiltInKey(key);
            ZeqCtrCipher cipher;
            cipher.SetKey(key, section.mNonce);
            cipher.Apply(mReadBuffer.Data(), mReadBuffer.Size(), 0);
        }
        mContentHidden = mEncrypted && section.mPassword.Has();
        mReader.Reset(mContentHidden ? nullptr : mReadBuffer.Data(), mContentHidden ? 0 : mReadBuffer.Size(), this);
    } else {
        mReader.Reset(section.mBody.Data(), section.mBody.Size());
    }
    mLocked = section.mPassword.Has();
    mCurrent = index;
    // A password given for another section of the file is tried once.
    if (mLocked && mHavePassword && PasswordMatches(section.mPassword, mPassword)) Unlock(section);
    return true;
}

bool KZeq::Impl::CloseSection() {
    if (mCurrent < 0) return false;
    if (mSectionWriting) return CommitSection();
    mReader.Clear();
    mReadBuffer.Release();
    mCurrent = -1;
    mLocked = false;
    mContentHidden = false;
    return true;
}

void KZeq::Impl::BeginSectionWrite(int index, int version) {
    mWriteBuffer.Clear();
    mBodyWriter.Reset();
    // ASCII text goes out as it is written, from the section's directive on.
    if (!mBinary) AppendAsciiSectionStart(mWriteBuffer, version);
    mAsciiWriter.Reset();
    mSectionStart = mWriteEnd;
    mSectionWriting = true;
    mCurrent = index;
    mWriteVersion = version;
    mSectionPasswordSet = false;
    mSectionPassword.clear();
}

bool KZeq::Impl::CommitSection() {
    // A write-back handle lives as long as the section it writes.
    struct ReleaseUpdate {
        Impl* mImpl;
        ~ReleaseUpdate() {
            mImpl->mUpdateFile.Close();
            mImpl->mUpdateStream = nullptr;
        }
    } releaseUpdate{this};
    if (mBinary) {
        mBodyWriter.CloseAll();
    } else {
        mAsciiWriter.CloseAll();
    }
    const bool writerFailed = mBinary ? mBodyWriter.Failed() : mAsciiWriter.Failed();
    mSectionWriting = false;
    mCurrent = -1;
    if (writerFailed) SetErrorOnce(eOutOfMemory);
    KChainedFile* stream = WriteStream();
    if (ErrorPending() || !stream) {
        mWriteBuffer.Release();
        // A write-back leaves the file as it found it (chunks and embedded files
        // of the section were appended already).
        if (stream && mMode == Mode::eRead) stream->Truncate(mSectionStart);
        return false;
    }

    ZeqSectionInfo info;
    info.mVersion = mWriteVersion;
    std::uint8_t key[kKeySize];
    BuiltInKey(key);
    if (mSectionPasswordSet) {
        info.mPassword.mKdf = kKdfPbkdf2Sha256;
        if (!RandomBytes(info.mPassword.mSalt, kSaltSize)) return Fail(eFileWriteError);
        Derive(mSectionPassword, info.mPassword.mSalt);
        std::memcpy(info.mPassword.mVerifier, mDerivedVerifier, kVerifierSize);
        std::memcpy(key, mDerivedKey, kKeySize);
    }

    // An ASCII section's text went out as it was written; the password line,
    // final only now, closes it.
    if (!mBinary && !AppendAsciiPassword(mWriteBuffer, info.mPassword)) return Fail(eOutOfMemory);
    const std::size_t bodySize = mWriteBuffer.Size();
    if (mBinary && mEncrypted) {
        if (!RandomBytes(info.mNonce, kNonceSize)) return Fail(eFileWriteError);
        ZeqCtrCipher cipher;
        cipher.SetKey(key, info.mNonce);
        cipher.Apply(mWriteBuffer.Data(), bodySize, 0);
    }
    // Binary sections are checksummed on their way out; ASCII text stays editable.
    KChainedCrcFile crc(*stream);
    KChainedFile& sink = mBinary ? static_cast<KChainedFile&>(crc) : *stream;
    if (!stream->Seek(mWriteEnd) || sink.Write(mWriteBuffer.Data(), bodySize) != bodySize) {
        mWriteBuffer.Release();
        if (mMode == Mode::eRead) stream->Truncate(mSectionStart);
        return Fail(eFileWriteError);
    }
    info.mStart = mSectionStart;
    info.mOffset = mBinary ? mWriteEnd : mSectionStart;
    info.mStoredLength = mWriteEnd + bodySize - info.mOffset;
    info.mCrc = crc.GetCrc();
    mWriteEnd += bodySize;
    mWriteBuffer.Release();

    const bool replaced = mReplaceLast;
    mReplaceLast = false;
    ZeqSectionInfo previousLast;
    if (replaced) {
        ZeqSectionInfo& last = mSections.back();
        previousLast.mStart = last.mStart;
        previousLast.mOffset = last.mOffset;
        previousLast.mStoredLength = last.mStoredLength;
        previousLast.mCrc = last.mCrc;
        previousLast.mVersion = last.mVersion;
        previousLast.mPassword = last.mPassword;
        std::memcpy(previousLast.mNonce, last.mNonce, kNonceSize);
        last = std::move(info);
    } else {
        mSections.push_back(std::move(info));
    }
    if (mMode == Mode::eRead) return CommitWriteBack(previousLast, replaced);
    return true;
}

// Publishes the section just written into a file opened for reading: a new table,
// synced, then the unused slot pointing at it, synced.
bool KZeq::Impl::CommitWriteBack(const ZeqSectionInfo& previousLast, bool replaced) {
    KChainedFile* stream = mUpdateStream;
    ZeqBuffer table;
    bool ok = EncodeSectionTable(mSections, table);
    const int slot = 1 - mActiveSlot;
    const std::uint32_t sequence = mSlotSequence + 1;
    if (ok) {
        ok = stream->Seek(mWriteEnd) && stream->Write(table.Data(), table.Size()) == table.Size() &&
             stream->Flush() && stream->Sync();
    }
    if (ok) {
        std::uint8_t raw[kSlotSize];
        BuildSlot(raw, mWriteEnd, table.Size(), sequence);
        ok = stream->Seek(kSlotOffset + kSlotSize * static_cast<std::size_t>(slot)) &&
             stream->Write(raw, kSlotSize) == kSlotSize && stream->Flush() && stream->Sync();
    }
    if (!ok) {
        // The file still names the previous table; so does the object.
        if (replaced) {
            ZeqSectionInfo& last = mSections.back();
            last.mStart = previousLast.mStart;
            last.mOffset = previousLast.mOffset;
            last.mStoredLength = previousLast.mStoredLength;
            last.mCrc = previousLast.mCrc;
            last.mVersion = previousLast.mVersion;
            last.mPassword = previousLast.mPassword;
            std::memcpy(last.mNonce, previousLast.mNonce, kNonceSize);
        } else {
            mSections.pop_back();
        }
        return Fail(eFileWriteError);
    }
    mWriteEnd += table.Size();
    mActiveSlot = slot;
    mSlotSequence = sequence;
    return true;
}

bool KZeq::Impl::CreateExtensionSection(bool overwriteLast) {
    if (mMode == Mode::eClosed) return Fail(eFileNotOpened);
    if (mCurrent >= 0) return Fail(eOperationNotAllowed);
    if (ErrorPending()) return false;
    if (mSections.empty()) return Fail(eOperationNotAllowed);
    const bool replace = overwriteLast && mSections.size() > 1;
    if (mMode == Mode::eWrite) {
        if (replace) {
            // Nothing follows the last section yet: cut it off with its chunks.
            const std::uint64_t offset = mSections.back().mStart;
            if (!mStream->Truncate(offset)) return Fail(eFileWriteError);
            mSections.pop_back();
            mWriteEnd = offset;
        }
        BeginSectionWrite(static_cast<int>(mSections.size()), mHeader.mFileVersion);
        return true;
    }
    if (!mBinary || mEncrypted || mReadOnly) return Fail(eOperationNotAllowed);
    if (!mPath.IsEmpty()) {
        if (!mUpdateFile.Open(mPath.Buffer(), "r+b")) return Fail(eOperationNotAllowed);
        mUpdateStream = &mUpdateFile;
    } else {
        mUpdateStream = mStream;
    }
    mWriteEnd = mUpdateStream->GetSize();
    if (mWriteEnd < kFixedHeaderSize) {
        mUpdateFile.Close();
        mUpdateStream = nullptr;
        return Fail(eFileCorrupted);
    }
    mReplaceLast = replace;
    BeginSectionWrite(static_cast<int>(replace ? mSections.size() - 1 : mSections.size()), mHeader.mFileVersion);
    return true;
}

bool KZeq::Impl::CheckPassword(const char* password) {
    if (mMode == Mode::eClosed) return false;
    const std::string_view text = View(password);
    if (mSectionWriting) return !mSectionPasswordSet || text == mSectionPassword;
    const int index = mCurrent >= 0 ? mCurrent : 0;
    if (static_cast<std::size_t>(index) >= mSections.size()) return false;
    const ZeqSectionInfo& section = mSections[static_cast<std::size_t>(index)];
    if (!section.mPassword.Has()) return true;
    if (!PasswordMatches(section.mPassword, text)) return false;
    mHavePassword = true;
    mPassword.assign(text.data(), text.size());
    if (index == mCurrent && mLocked) Unlock(section);
    return true;
}

// --- chunks ---------------------------------------------------------------------------------------

bool KZeq::Impl::StoreChunk(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* data,
                            std::size_t dataSize, ZeqChunkRef& ref) {
    KChainedFile* stream = WriteStream();
    if (ErrorPending()) return false;
    if (!stream || !stream->Seek(mWriteEnd)) return Fail(eFileWriteError);
    const std::size_t total = headSize + dataSize;
    ref.mOffset = mWriteEnd;
    ref.mLength = total;
    std::uint32_t crc = 0;
    // Slices of one chunk at most, each checksummed while it is in the cache.
    if (mEncrypted) {
        if (!RandomBytes(ref.mKey, kKeySize) || !RandomBytes(ref.mNonce, kNonceSize)) return Fail(eFileWriteError);
        std::uint8_t* stage = mStage.Room(kChunkBytes);
        if (!stage) return Fail(eOutOfMemory);
        mChunkCipher.SetKey(ref.mKey, ref.mNonce);
        std::size_t done = 0;
        while (done < total) {
            const std::size_t n = std::min(kChunkBytes, total - done);
            // The slice: the rest of the head, then data.
            const std::size_t fromHead = done < headSize ? std::min(n, headSize - done) : 0;
            if (fromHead) std::memcpy(stage, head + done, fromHead);
            if (n > fromHead) std::memcpy(stage + fromHead, data + (done + fromHead - headSize), n - fromHead);
            mChunkCipher.Apply(stage, n, done);
            crc = Crc32(crc, stage, n);
            if (stream->Write(stage, n) != n) return Fail(eFileWriteError);
            done += n;
        }
    } else {
        crc = Crc32(crc, head, headSize);
        if (headSize && stream->Write(head, headSize) != headSize) return Fail(eFileWriteError);
        std::size_t done = 0;
        while (done < dataSize) {
            const std::size_t n = std::min(kChunkBytes, dataSize - done);
            crc = Crc32(crc, data + done, n);
            if (stream->Write(data + done, n) != n) return Fail(eFileWriteError);
            done += n;
        }
    }
    ref.mCrc = crc;
    mWriteEnd += total;
    return true;
}

bool KZeq::Impl::PutText(const std::uint8_t* text, std::size_t size) {
    KChainedFile* stream = WriteStream();
    if (ErrorPending()) return false;
    if (!stream || !stream->Seek(mWriteEnd) || stream->Write(text, size) != size) return Fail(eFileWriteError);
    mWriteEnd += size;
    return true;
}

bool KZeq::Impl::LoadChunk(const ZeqChunkRef& ref, ZeqBuffer& out) {
    if (!mBinary || mCurrent < 0 || static_cast<std::size_t>(mCurrent) >= mSections.size()) return false;
    // Chunks are written before the body of their section.
    const std::uint64_t body = mSections[static_cast<std::size_t>(mCurrent)].mOffset;
    if (ref.mOffset < mDataStart || ref.mOffset > body || ref.mLength > body - ref.mOffset) return false;
    if (ref.mLength > std::numeric_limits<std::size_t>::max() / 4) return false;
    const std::size_t size = static_cast<std::size_t>(ref.mLength);
    out.Clear();
    std::uint8_t* p = out.Grow(size);
    if (!p) {
        SetErrorOnce(eOutOfMemory);
        return false;
    }
    if (!mStream->Seek(ref.mOffset)) return false;
    KChainedCrcFile crc(*mStream);
    if (crc.Read(p, size) != size || crc.GetCrc() != ref.mCrc) return false;
    if (mEncrypted) {
        mChunkCipher.SetKey(ref.mKey, ref.mNonce);
        mChunkCipher.Apply(p, size, 0);
    }
    return true;
}

// --- embedded files -----------------------------------------------------------------------------

bool KZeq::Impl::WriteEmbedded(const KString& fileName, const KString& relativeName) {
    if (!CanWrite() || !mBinary || !mBodyWriter.ValueOpen()) return false;
    KChainedStdioFile source;
    // A missing source is the caller's to report; the field file stays usable.
    if (!source.Open(fileName.Buffer(), "rb")) return false;
    KChainedFile* stream = WriteStream();
    if (!stream || !stream->Seek(mWriteEnd)) return Fail(eFileWriteError);
    ZeqEmbeddedRef ref;
    ref.mOffset = mWriteEnd;
    KChainedCrcFile crc(*stream);
    KChainedCipherFile cipher(crc);
    KChainedFile* sink = &crc;
    if (mEncrypted) {
        if (!RandomBytes(ref.mKey, kKeySize) || !RandomBytes(ref.mNonce, kNonceSize)) return Fail(eFileWriteError);
        cipher.SetKey(ref.mKey, ref.mNonce, mWriteEnd);
        sink = &cipher;
    }
    ZeqBuffer chunk;
    if (!chunk.Grow(kCopyChunk)) return Fail(eOutOfMemory);
    for (;;) {
        const std::size_t count = source.Read(chunk.Data(), kCopyChunk);
        if (count == 0) break;
        if (sink->Write(chunk.Data(), count) != count) return Fail(eFileWriteError);
        ref.mSize += count;
    }
    ref.mCrc = crc.GetCrc();
    mWriteEnd += ref.mSize;
    const KString stored = relativeName.IsEmpty() ? ExtractFileName(fileName.Buffer()) : relativeName;
    ref.mName = View(stored);
    return AfterWrite(mBodyWriter.WriteEmbedded(ref));
}

bool KZeq::Impl::ReadEmbedded(KString& fileName, const KString& relativeName, const char* directory,
                              bool* overwritten) {
    if (!Readable() || !mBinary || mReader.PeekType() != kTagEmbedded) return false;
    ZeqEmbeddedRef ref;
    if (!mReader.ReadEmbedded(ref)) return false;
    const std::uint64_t fileSize = mStream->GetSize();
    if (ref.mOffset > fileSize || ref.mSize > fileSize - ref.mOffset) return Fail(eFileCorrupted);

    KString base = directory && *directory ? KString(directory) : KString("");
    if (base.IsEmpty()) {
        if (mPath.IsEmpty()) return Fail(eEmbeddedFileError);
        base = ChangeFileExtension(mPath.Buffer(), ".zqm");
    }
    base = MakeFullPath(KGetCurrentDirectory().Buffer(), base.Buffer());
    KString name;
    const KString candidates[3] = {relativeName, ExtractFileName(fileName.Buffer()),
                                   KString(ref.mName.data(), ref.mName.size())};
    for (const KString& candidate : candidates) {
        if (IsConfinedName(candidate)) {
            name = KCleanPath(candidate);
            break;
        }
    }
    if (name.IsEmpty()) return Fail(eEmbeddedFileError);
    const KString target = MakeFullPath(base.Buffer(), name.Buffer());
    const KString prefix = base + "/";
    if (target.GetLen() <= prefix.GetLen() || std::strncmp(target.Buffer(), prefix.Buffer(), prefix.GetLen()) != 0) {
        return Fail(eEmbeddedFileError);
    }
    if (!KEnsureDirectoryExistance(target.Buffer())) return Fail(eEmbeddedFileError);

    // Written under a temporary name and renamed: a failed copy leaves no partial
    // file, and the rename replaces a link at the target instead of following it.
    std::uint8_t random[8] = {};
    RandomBytes(random, sizeof(random));
    const KString temp = target + ".part" + KString(ToHex(random, sizeof(random)).c_str());
    KChainedStdioFile out;
    if (!out.Open(temp.Buffer(), "wb")) return Fail(eEmbeddedFileError);
    KChainedCrcFile crc(*mStream);
    KChainedCipherFile cipher(crc);
    KChainedFile* source = &crc;
    if (mEncrypted) {
        cipher.SetKey(ref.mKey, ref.mNonce, ref.mOffset);
        source = &cipher;
    }
    ZeqBuffer chunk;
    bool ok = chunk.Grow(kCopyChunk) != nullptr && mStream->Seek(ref.mOffset);
    std::uint64_t left = ref.mSize;
    while (ok && left > 0) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyChunk));
        ok = source->Read(chunk.Data(), count) == count && out.Write(chunk.Data(), count) == count;
        left -= count;
    }
    const bool intact = ok && crc.GetCrc() == ref.mCrc;
    ok = out.Close() && ok;
    if (!ok || !intact) {
        KFile::Remove(temp);
        return Fail(intact ? eEmbeddedFileError : eFileCorrupted);
    }
    const bool existed = FileExist(target.Buffer());
    if (std::rename(temp.Buffer(), target.Buffer()) != 0) {
        KFile::Remove(temp);
        return Fail(eEmbeddedFileError);
    }
    fileName = target;
    if (overwritten) *overwritten = existed;
    return true;
}

// --- KZeq ---------------------------------------------------------------------------------------------

namespace {

// Keeps exceptions (only std::bad_alloc can arise) inside the object.
template <class R, class F>
R Guard(KZeq::Impl& impl, R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        try {
            impl.mError.SetLastErrorID(KZeq::eOutOfMemory);
        } catch (...) {
        }
        return fallback;
    }
}

}  // namespace

KZeq::KZeq() : mImpl(new Impl()) {}

KZeq::~KZeq() {
    if (mImpl->mMode != Impl::Mode::eClosed) ProjectClose();
}

bool KZeq::ProjectOpen(const char* pName, bool pReadOnly, bool pOpenMainSection, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        if (!pName || !*pName) return mImpl->Open(pName, pReadOnly, pOpenMainSection, pHeader);
        KString path(pName);
        if (ExtractFileExtension(pName).IsEmpty()) path += ".zeq";
        return mImpl->Open(path.Buffer(), pReadOnly, pOpenMainSection, pHeader);
    });
}

bool KZeq::ProjectOpenDirect(const char* pName, bool pReadOnly, bool pOpenMainSection, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] { return mImpl->Open(pName, pReadOnly, pOpenMainSection, pHeader); });
}

bool KZeq::ProjectOpenStream(KChainedFile& pStream, bool pReadOnly, bool pOpenMainSection,
                             KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        if (mImpl->mMode != Impl::Mode::eClosed) mImpl->Close();
        mImpl->ResetState();
        mImpl->mError.ClearLastError();
        mImpl->mStream = &pStream;
        return mImpl->OpenCommon(pReadOnly, pOpenMainSection, pHeader);
    });
}

bool KZeq::ProjectCreate(const char* pName, bool pBinary, bool pEncrypted, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] { return mImpl->Create(pName, pBinary, pEncrypted, pHeader); });
}

bool KZeq::ProjectCreateStream(KChainedFile& pStream, bool pBinary, bool pEncrypted, KZeqFileHeaderInfo* pHeader) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (impl.mMode != Impl::Mode::eClosed) impl.Close();
        impl.ResetState();
        impl.mError.ClearLastError();
        const int version = pHeader ? pHeader->mFileVersion : kDefaultFileVersion;
        if (version >= kFirstUnsupportedFileVersion) return impl.Fail(eFileVersionNotSupportedYet);
        if (version < kMinimumFileVersion) return impl.Fail(eFileVersionNotSupportedAnymore);
        impl.mStream = &pStream;
        if (!impl.CreateCommon(pBinary, pEncrypted, pHeader)) {
            impl.Discard();
            return false;
        }
        return true;
    });
}

bool KZeq::ProjectClose() {
    return Guard(*mImpl, false, [&] { return mImpl->Close(); });
}

bool KZeq::ProjectOpenMainSection() {
    return Guard(*mImpl, false, [&] { return mImpl->OpenSection(0); });
}

int KZeq::ProjectGetExtensionSectionCount() const {
    const std::size_t count = mImpl->mSections.size();
    return count > 1 ? static_cast<int>(count - 1) : 0;
}

bool KZeq::ProjectOpenExtensionSection(int pIndex) {
    if (pIndex < 0 || pIndex >= ProjectGetExtensionSectionCount()) return false;
    return Guard(*mImpl, false, [&] { return mImpl->OpenSection(pIndex + 1); });
}

bool KZeq::ProjectCreateExtensionSection(bool pOverwriteLast) {
    return Guard(*mImpl, false, [&] { return mImpl->CreateExtensionSection(pOverwriteLast); });
}

bool KZeq::ProjectCloseSection() {
    return Guard(*mImpl, false, [&] { return mImpl->CloseSection(); });
}

int KZeq::ProjectGetCurrentSectionIndex() const { return mImpl->mCurrent; }

int KZeq::ProjectGetSectionVersion(int pSection) const { return mImpl->SectionVersion(pSection); }

void KZeq::ProjectConvertVersionNumber(int pVersion, int& pMajor, int& pMinor, int& pRevision) {
    pMajor = pVersion / 1000;
    pMinor = (pVersion % 1000) / 100;
    pRevision = pVersion % 100;
}

bool KZeq::ProjectSetPassword(const char* pPassword) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (!impl.CanWrite()) return false;
        impl.mSectionPasswordSet = pPassword && *pPassword;
        impl.mSectionPassword = impl.mSectionPasswordSet ? pPassword : "";
        return true;
    });
}

bool KZeq::CheckPassword(const char* pPassword) {
    return Guard(*mImpl, false, [&] { return mImpl->CheckPassword(pPassword); });
}

bool KZeq::IsOpen() const { return mImpl->mMode != Impl::Mode::eClosed; }
bool KZeq::IsBinary() const { return mImpl->mBinary; }
bool KZeq::IsEncrypted() const { return mImpl->mEncrypted; }

bool KZeq::IsPasswordProtected() const {
    if (mImpl->mSectionWriting) return mImpl->mSectionPasswordSet;
    return mImpl->mCurrent >= 0 && mImpl->mLocked;
}

bool KZeq::IsVersion2000OrLater() const { return IsOpen() && mImpl->mHeader.mFileVersion > 1999; }
int KZeq::GetFileVersion() const { return IsOpen() ? mImpl->mHeader.mFileVersion : 0; }

KString KZeq::GetFilePath() const {
    return Guard(*mImpl, KString(""), [&] { return mImpl->mPath; });
}

KError& KZeq::GetError() { return mImpl->mError; }
const KError& KZeq::GetError() const { return mImpl->mError; }
int KZeq::GetLastErrorID() const { return mImpl->mError.GetLastErrorID(); }
const char* KZeq::GetLastErrorString() const { return mImpl->mError.GetLastErrorString(); }

// --- writing --------------------------------------------------------------------------------------

#define ZEQ_WRITE(binaryCall, asciiCall)                                                   \
    do {                                                                                   \
        Impl& impl = *mImpl;                                                               \
        if (!impl.CanWrite()) return false;                                                \
        return impl.AfterWrite(impl.mBinary ? impl.mBodyWriter.binaryCall : impl.mAsciiWriter.asciiCall); \
    } while (false)

bool KZeq::FieldWriteBegin(const char* pName) { return FieldWriteBegin(pName, pName ? std::strlen(pName) : 0); }

bool KZeq::FieldWriteBegin(const char* pName, std::size_t pLength) {
    const std::string_view name(pName ? pName : "", pName ? pLength : 0);
    return Guard(*mImpl, false, [&] { ZEQ_WRITE(FieldBegin(name), FieldBegin(name)); });
}

bool KZeq::FieldWriteEnd() { ZEQ_WRITE(FieldEnd(), FieldEnd()); }
bool KZeq::FieldWriteBlockBegin() { ZEQ_WRITE(BlockBegin(), BlockBegin()); }
bool KZeq::FieldWriteBlockEnd() { ZEQ_WRITE(BlockEnd(), BlockEnd()); }

bool KZeq::FieldWriteC(const char* pValue) { return FieldWriteC(pValue, pValue ? std::strlen(pValue) : 0); }

bool KZeq::FieldWriteC(const char* pValue, std::size_t pLength) {
    const std::string_view text(pValue ? pValue : "", pValue ? pLength : 0);
    ZEQ_WRITE(WriteString(text), WriteString(text));
}

bool KZeq::FieldWriteI(int pValue) { ZEQ_WRITE(WriteInt(pValue), WriteInt(pValue)); }
bool KZeq::FieldWriteL(kLongLong pValue) { ZEQ_WRITE(WriteLong(pValue), WriteLong(pValue)); }
bool KZeq::FieldWriteD(double pValue) { ZEQ_WRITE(WriteDouble(pValue), WriteDouble(pValue)); }
bool KZeq::FieldWriteCH(char pValue) { ZEQ_WRITE(WriteChar(pValue), WriteChar(pValue)); }

bool KZeq::FieldWriteT(KTime pValue) {
    if (mImpl->mWriteVersion > 2000) return FieldWriteL(pValue.Get());
    return FieldWriteD(pValue.GetSecondDouble());
}

bool KZeq::FieldWriteTS(KTimeSpan pValue) { return FieldWriteT(pValue.GetStart()) && FieldWriteT(pValue.GetStop()); }

bool KZeq::FieldWriteDn(const double* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagDouble, pValues, n), WriteDoubles(pValues, n));
}

bool KZeq::FieldWriteFn(const float* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagFloat, pValues, n), WriteFloats(pValues, n));
}

bool KZeq::FieldWriteIn(const int* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagInt, pValues, n), WriteInts(pValues, n));
}

bool KZeq::FieldWriteLn(const kLongLong* pValues, int pCount) {
    if (pCount < 0 || (!pValues && pCount > 0)) return false;
    const std::size_t n = static_cast<std::size_t>(pCount);
    ZEQ_WRITE(WriteArray(kTagLong, pValues, n), WriteLongs(pValues, n));
}

#undef ZEQ_WRITE

bool KZeq::WriteComments(const char* pComment) {
    return Guard(*mImpl, false, [&] {
        Impl& impl = *mImpl;
        if (!impl.CanWrite()) return false;
        if (impl.mBinary) return true;
        return impl.AfterWrite(impl.mAsciiWriter.Comment(View(pComment)));
    });
}

bool KZeq::FieldWriteEmbeddedFile(KString pFileName, KString pRelativeFileName) {
    return Guard(*mImpl, false, [&] { return mImpl->WriteEmbedded(pFileName, pRelativeFileName); });
}

// --- reading --------------------------------------------------------------------------------------

bool KZeq::FieldReadBegin(const char* pName) { return FieldReadBegin(pName, pName ? std::strlen(pName) : 0); }

bool KZeq::FieldReadBegin(const char* pName, std::size_t pLength) {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return false;
    const std::string_view name(pName ? pName : "", pName ? pLength : 0);
    return Guard(impl, false, [&] { return impl.AfterRead(impl.mReader.FieldBegin(name)); });
}

bool KZeq::FieldReadEnd() {
    Impl& impl = *mImpl;
    return impl.Readable() && impl.AfterRead(impl.mReader.FieldEnd());
}

bool KZeq::FieldReadBlockBegin() {
    Impl& impl = *mImpl;
    return impl.Readable() && impl.AfterRead(impl.mReader.BlockBegin());
}

bool KZeq::FieldReadBlockEnd() { return mImpl->Readable() && mImpl->mReader.BlockEnd(); }

bool KZeq::FieldReadResetPosition() {
    if (!mImpl->Readable()) return false;
    mImpl->mReader.ResetPosition();
    return true;
}

int KZeq::FieldGetInstanceCount(const char* pName) {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return 0;
    return Guard(impl, 0, [&] {
        const int count = impl.mReader.InstanceCount(View(pName));
        impl.AfterRead(true);
        return count;
    });
}

int KZeq::FieldGetBlockFieldCount() {
    Impl& impl = *mImpl;
    if (!impl.Readable()) return 0;
    return Guard(impl, 0, [&] {
        const int count = impl.mReader.BlockFieldCount();
        impl.AfterRead(true);
        return count;
    });
}

KString KZeq::FieldGetBlockFieldName(int pIndex) {
    Impl& impl = *mImpl;
    return Guard(impl, KString(""), [&] {
        if (!impl.Readable()) return KString("");
        const std::string_view name = impl.mReader.BlockFieldName(pIndex);
        impl.AfterRead(true);
        return KString(name.data() ? name.data() : "", name.size());
    });
}

int KZeq::FieldReadGetCount() const { return mImpl->Readable() ? mImpl->mReader.Count() : 0; }
int KZeq::FieldReadGetRemain() const { return mImpl->Readable() ? mImpl->mReader.Remain() : 0; }

char KZeq::FieldReadGetType() const {
    Impl& impl = *mImpl;
    const std::uint8_t type = impl.Readable() ? impl.mReader.PeekType() : 0;
    impl.AfterRead(true);
    return type ? static_cast<char>(type) : 'S';
}

// Value reads: a failure is either "no value left" or damage, which AfterRead reports.
KString KZeq::FieldReadC() {
    Impl& impl = *mImpl;
    return Guard(impl, KString(""), [&] {
        KString value("");
        if (impl.Readable() && !impl.mReader.ReadString(value)) impl.AfterRead(false);
        return value;
    });
}

// The reader has an open field only while its section is readable, so the value
// is taken first and the state looked at only when there was none.
int KZeq::FieldReadI() {
    Impl& impl = *mImpl;
    std::int32_t value = 0;
    if (!impl.mReader.ReadInt(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

kLongLong KZeq::FieldReadL() {
    Impl& impl = *mImpl;
    std::int64_t value = 0;
    if (!impl.mReader.ReadLong(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

double KZeq::FieldReadD() {
    Impl& impl = *mImpl;
    double value = 0.0;
    if (!impl.mReader.ReadDouble(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

float KZeq::FieldReadF() { return static_cast<float>(FieldReadD()); }

char KZeq::FieldReadCH() {
    Impl& impl = *mImpl;
    char value = 0;
    if (!impl.mReader.ReadChar(value) && impl.Readable()) impl.AfterRead(false);
    return value;
}

KTime KZeq::FieldReadT() {
    Impl& impl = *mImpl;
    std::int64_t ticks = 0;
    if (!impl.mReader.ReadTicks(ticks) && impl.Readable() &&
        !impl.mReader.ReadTime(ticks, impl.SectionVersion(impl.mCurrent))) {
        impl.AfterRead(false);
    }
    return KTime(ticks);
}

KTimeSpan KZeq::FieldReadTS() {
    const KTime start = FieldReadT();
    const KTime stop = FieldReadT();
    return KTimeSpan(start, stop);
}

KString KZeq::FieldReadC(const char* pName, const char* pDefault) {
    Impl& impl = *mImpl;
    return Guard(impl, KString(pDefault ? pDefault : ""), [&] {
        KString value(pDefault ? pDefault : "");
        if (!FieldReadBegin(pName)) return value;
        impl.AfterRead(impl.mReader.ReadString(value));
        FieldReadEnd();
        return value;
    });
}

int KZeq::FieldReadI(const char* pName, int pDefault) {
    std::int32_t value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadInt(value));
    FieldReadEnd();
    return value;
}

kLongLong KZeq::FieldReadL(const char* pName, kLongLong pDefault) {
    std::int64_t value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadLong(value));
    FieldReadEnd();
    return value;
}

double KZeq::FieldReadD(const char* pName, double pDefault) {
    double value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadDouble(value));
    FieldReadEnd();
    return value;
}

char KZeq::FieldReadCH(const char* pName, char pDefault) {
    char value = pDefault;
    if (!FieldReadBegin(pName)) return pDefault;
    mImpl->AfterRead(mImpl->mReader.ReadChar(value));
    FieldReadEnd();
    return value;
}

KTime KZeq::FieldReadT(const char* pName) {
    if (!FieldReadBegin(pName)) return KTime(0);
    const KTime value = FieldReadT();
    FieldReadEnd();
    return value;
}

KTimeSpan KZeq::FieldReadTS(const char* pName) {
    if (!FieldReadBegin(pName)) return KTimeSpan(KTime(0), KTime(0));
    const KTimeSpan value = FieldReadTS();
    FieldReadEnd();
    return value;
}

bool KZeq::FieldReadDn(const char* pName, double* pValues, const double* pDefaults, unsigned int pCount) {
    if (!FieldReadBegin(pName)) {
        if (pDefaults && pValues && pCount > 0) std::memmove(pValues, pDefaults, pCount * sizeof(double));
        return false;
    }
    if (pValues) mImpl->mReader.ReadDoubles(pValues, pCount);
    mImpl->AfterRead(true);
    FieldReadEnd();
    return true;
}

int KZeq::FieldReadDn(double* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadDoubles(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadFn(float* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadFloats(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadIn(int* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadInts(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

int KZeq::FieldReadLn(kLongLong* pValues, int pCount) {
    if (!pValues || pCount <= 0 || !mImpl->Readable()) return 0;
    const std::size_t read = mImpl->mReader.ReadLongs(pValues, static_cast<std::size_t>(pCount));
    mImpl->AfterRead(true);
    return static_cast<int>(read);
}

zeqdetail::ZeqBodyReader* KZeq::OpenFieldReader() { return mImpl->Readable() ? &mImpl->mReader : nullptr; }

bool KZeq::FieldReadEmbeddedFile(KString& pFileName, KString& pRelativeFileName, const char* pDirectory,
                                 bool* pOverwritten) {
    return Guard(*mImpl, false,
                 [&] { return mImpl->ReadEmbedded(pFileName, pRelativeFileName, pDirectory, pOverwritten); });
}

// --- paths -------------------------------------------------------------------------------------------

KString KZeq::GetFullFilePath(const char* pPath) const {
    return Guard(*mImpl, KString(""), [&] { return MakeFullPath(mImpl->Directory().Buffer(), pPath ? pPath : ""); });
}

KString KZeq::GetRelativeFilePath(const char* pPath) const {
    return Guard(*mImpl, KString(""),
                 [&] { return MakeRelativePath(mImpl->Directory().Buffer(), pPath ? pPath : ""); });
}

KString KZeq::GetMediaDirectory() const {
    return Guard(*mImpl, KString(""), [&] {
        if (mImpl->mPath.IsEmpty()) return KString("");
        return ChangeFileExtension(mImpl->mPath.Buffer(), ".zqm");
    });
}

static_assert(KZeq::kMaxDepth == 256, "kzeqbody.cpp bounds nesting at the same depth");

}  // namespace zeqsdk_400
