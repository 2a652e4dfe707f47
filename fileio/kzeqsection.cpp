// KZeq: sections, passwords, chunks and writing sections back into a file.

#include "fileio/kzeqimpl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

using namespace zeqdetail;

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
    if (mContentHidden) {
        if (!mBinary) {
            mReader.Reset(section.mBody.Data(), section.mBody.Size());
        } else {
            if (mEncrypted) {
                ZeqCtrCipher cipher;
                cipher.SetKey(mDerivedKey, section.mNonce);
                cipher.Apply(mReadBuffer.Data(), mReadBuffer.Size(), 0);
            }
            mReader.Reset(mReadBuffer.Data(), mReadBuffer.Size(), this);
        }
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
    mReader.SetTextNumbers(!mBinary);
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
    }
    // A protected section reads nothing until its password is given, in every
    // encoding (only the encrypted one keeps the bytes themselves from a reader
    // that bypasses this object).
    mContentHidden = section.mPassword.Has();
    if (mContentHidden) {
        mReader.Reset(nullptr, 0);
    } else if (mBinary) {
        mReader.Reset(mReadBuffer.Data(), mReadBuffer.Size(), this);
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
        // The system's reason (a full disk) outlives the tidying.
        const int code = errno;
        mWriteBuffer.Release();
        if (mMode == Mode::eRead) stream->Truncate(mSectionStart);
        errno = code;
        return FailSystem(eFileWriteError);
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
    // A file put in place of this one meanwhile keeps its content; this one was
    // unlinked, so what was written is lost: say so.
    const bool same = StillNamedFile();
    bool ok = same && EncodeSectionTable(mSections, table);
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
        stream->Truncate(mSectionStart);
        return Fail(same ? eFileWriteError : eOperationNotAllowed);
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
            if (!mStream->Truncate(offset)) return FailSystem(eFileWriteError);
            mSections.pop_back();
            mWriteEnd = offset;
        }
        BeginSectionWrite(static_cast<int>(mSections.size()), mHeader.mFileVersion);
        return true;
    }
    if (!mBinary || mEncrypted || mReadOnly) return Fail(eOperationNotAllowed);
    if (!BeginWriteBack(replace)) {
        mUpdateFile.Close();
        mUpdateStream = nullptr;
        return false;
    }
    mReplaceLast = replace;
    BeginSectionWrite(static_cast<int>(replace ? mSections.size() - 1 : mSections.size()), mHeader.mFileVersion);
    return true;
}

bool KZeq::Impl::StillNamedFile() const {
    if (mPath.IsEmpty()) return true;
    struct stat named;
    struct stat open;
    return ::stat(mPath.Buffer(), &named) == 0 && ::fstat(mUpdateFile.Descriptor(), &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino && open.st_dev == mFileDevice &&
           open.st_ino == mFileInode;
}

// Write-backs to one file take turns: the lock is held from here until the slot
// switch (or the section's end), and the slots are read again under it, so the
// section is committed against the file as it is then.
bool KZeq::Impl::BeginWriteBack(bool replace) {
    mRefusal.Empty();
    if (!mPath.IsEmpty()) {
        // Written where it lies, as an append is, under the append's rules: not through another
        // user's link or file in a shared sticky folder, nor through a hard link or symbolic link
        // in a folder others may write (theirs, to a file of this user's), whatever the system allows.
        // A file this process may not write at all is no refusal to tell: the read goes on.
        if (::faccessat(AT_FDCWD, mPath.Buffer(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EROFS))
            return Fail(eOperationNotAllowed);
        KString refusal;
        int code = 0;
        const int fd = KFileReplacement::OpenForWritingInPlace(mPath.Buffer(), refusal, &code);
        if (fd < 0) return FailRefused(eOperationNotAllowed, refusal, code);
        if (!mUpdateFile.OpenDescriptor(fd, "r+b")) return Fail(eOperationNotAllowed);
        // Another write-back in progress, or the name now names another file.
        if (::flock(mUpdateFile.Descriptor(), LOCK_EX | LOCK_NB) != 0 || !StillNamedFile()) {
            return Fail(eOperationNotAllowed);
        }
        mUpdateStream = &mUpdateFile;
    } else {
        mUpdateStream = mStream;
    }
    KChainedFile& stream = *mUpdateStream;
    const std::uint64_t size = stream.GetSize();
    ZeqBinaryHeader header;
    std::uint8_t prefix[kSlotOffset];
    if (ReadBinaryHeader(stream, size, header) != ZeqOpenResult::eOk || !stream.Seek(0) ||
        stream.Read(prefix, sizeof(prefix)) != sizeof(prefix)) {
        return Fail(eFileCorrupted);
    }
    // Rewritten in place by something else since it was opened.
    if (std::memcmp(prefix, mHeaderPrefix, sizeof(prefix)) != 0) return Fail(eOperationNotAllowed);
    std::vector<ZeqSectionInfo> sections;
    int slot = 0;
    if (!ReadSectionTable(stream, size, header, sections, slot)) return Fail(eFileCorrupted);
    if (slot != mActiveSlot || header.mSlots[slot].mSequence != mSlotSequence) {
        // Another writer added a section meanwhile: append after it; replacing
        // "the last section" would now replace that writer's.
        if (replace) return Fail(eOperationNotAllowed);
        mSections = std::move(sections);
        mActiveSlot = slot;
        mSlotSequence = header.mSlots[slot].mSequence;
    }
    // The newest table ends the valid data; what follows it was left by a
    // write-back that did not finish, and is reclaimed.
    mWriteEnd = header.mSlots[slot].mTableOffset + header.mSlots[slot].mTableLength;
    if (size > mWriteEnd && !stream.Truncate(mWriteEnd)) return FailSystem(eFileWriteError);
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
    if (!stream) return Fail(eFileWriteError);
    if (!stream->Seek(mWriteEnd)) return FailSystem(eFileWriteError);
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
            if (stream->Write(stage, n) != n) return FailSystem(eFileWriteError);
            done += n;
        }
    } else {
        crc = Crc32(crc, head, headSize);
        if (headSize && stream->Write(head, headSize) != headSize) return FailSystem(eFileWriteError);
        std::size_t done = 0;
        while (done < dataSize) {
            const std::size_t n = std::min(kChunkBytes, dataSize - done);
            crc = Crc32(crc, data + done, n);
            if (stream->Write(data + done, n) != n) return FailSystem(eFileWriteError);
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
    if (!stream || !stream->Seek(mWriteEnd) || stream->Write(text, size) != size) return FailSystem(eFileWriteError);
    mWriteEnd += size;
    return true;
}

bool KZeq::Impl::ChunkInSection(const ZeqChunkRef& ref) const {
    if (!mBinary || mCurrent < 0 || static_cast<std::size_t>(mCurrent) >= mSections.size()) return false;
    // Chunks are written before the body of their section.
    const std::uint64_t body = mSections[static_cast<std::size_t>(mCurrent)].mOffset;
    if (ref.mOffset < mDataStart || ref.mOffset > body || ref.mLength > body - ref.mOffset) return false;
    return ref.mLength <= std::numeric_limits<std::size_t>::max() / 4;
}

bool KZeq::Impl::LoadChunkInto(const ZeqChunkRef& ref, std::uint8_t* head, std::size_t headSize, void* data) {
    if (!ChunkInSection(ref) || ref.mLength < headSize) return false;
    const std::size_t size = static_cast<std::size_t>(ref.mLength) - headSize;
    auto* bytes = static_cast<std::uint8_t*>(data);
    KChainedCrcFile crc(*mStream);
    if (!mStream->Seek(ref.mOffset) || crc.Read(head, headSize) != headSize || crc.Read(bytes, size) != size ||
        crc.GetCrc() != ref.mCrc) {
        return false;
    }
    if (mEncrypted) {
        mChunkCipher.SetKey(ref.mKey, ref.mNonce);
        mChunkCipher.Apply(head, headSize, 0);
        mChunkCipher.Apply(bytes, size, headSize);
    }
    return true;
}

bool KZeq::Impl::LoadChunk(const ZeqChunkRef& ref, ZeqBuffer& out) {
    if (!ChunkInSection(ref)) return false;
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

}  // namespace zeqsdk_400
