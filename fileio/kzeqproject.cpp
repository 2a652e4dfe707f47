// KZeq: opening, creating, completing and closing files.

#include "fileio/kzeqimpl.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

using namespace zeqdetail;

namespace {

constexpr const char* kDefaultCreator = "Zeq SDK";

bool IsZeqExtension(const char* path) {
    const KString extension = ExtractFileExtension(path);
    return extension.GetLen() == 3 && extension.CompareNoCase("zeq") == 0;
}

// Gives an unnamed file the name path has, in the directory at.
bool LinkDescriptor(int fd, int at, const KString& path) {
    const char* name = std::strrchr(path.Buffer(), '/') + 1;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), at, name, AT_SYMLINK_FOLLOW) == 0) return true;
    return ::linkat(fd, "", at, name, AT_EMPTY_PATH) == 0;
}

}  // namespace

void KZeq::Impl::ResetState() {
    mMode = Mode::eClosed;
    mBinary = true;
    mEncrypted = false;
    mReadOnly = false;
    mPath = "";
    mReplaced = KResolvedPath();
    mTempPath = "";
    mDataFolder = KResolvedPath();
    mPermissionLimit = 07777;
    mEmbeddedFolder = KHeldFolder();
    mTempAnonymous = false;
    mStream = nullptr;
    mHeader.Reset();
    mSections.clear();
    mDataStart = 0;
    mActiveSlot = 0;
    mSlotSequence = 0;
    std::memset(mHeaderPrefix, 0, sizeof(mHeaderPrefix));
    mFileDevice = 0;
    mFileInode = 0;
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
    mRefusal.Empty();
    if (!path || !*path) return Fail(eFileNotOpened);
    // Only a regular file opens: a named pipe would hold the open, a folder has no bytes.
    KString refusal;
    int code = 0;
    const int fd = KOpenRegularFile(path, "rb", &refusal, &code);
    if (fd < 0) return FailRefused(eFileNotOpened, refusal, code);
    if (!mFile.OpenDescriptor(fd, "rb")) return FailSystem(eFileNotOpened);
    mPath = KAbsolutePath(path);
    mStream = &mFile;
    return OpenCommon(readOnly, openMain, header);
}

bool KZeq::Impl::OpenCommon(bool readOnly, bool openMain, KZeqFileHeaderInfo* header) {
    const std::uint64_t size = mStream->GetSize();
    std::uint8_t magic[kMagicSize] = {};
    const bool haveMagic = mStream->Seek(0) && mStream->Read(magic, kMagicSize) == kMagicSize;
    const bool ok = haveMagic && HasBinaryMagic(magic, kMagicSize) ? OpenBinary(size) : OpenAscii(size);
    if (!ok) {
        mFile.Close();
        ResetState();
        KeepError(eFileCorrupted);
        return false;
    }
    mMode = Mode::eRead;
    mReadOnly = readOnly;
    if (header) *header = mHeader;
    if (openMain && !OpenSection(0)) {
        mFile.Close();
        ResetState();
        KeepError(eFileCorrupted);
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
    if (!mStream->Seek(0) || mStream->Read(mHeaderPrefix, kSlotOffset) != kSlotOffset) return Fail(eFileNotOpened);
    struct stat st;
    if (mFile.IsOpen() && ::fstat(mFile.Descriptor(), &st) == 0) {
        mFileDevice = static_cast<std::uint64_t>(st.st_dev);
        mFileInode = static_cast<std::uint64_t>(st.st_ino);
    }
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
    // No writer leaves the main section empty before another: a section line written twice
    // does, with the scene in the section after it. Refused, rather than read as an empty scene.
    if (file.mSections.size() > 1 && file.mSections.front().mBody.Size() == 0) {
        mError.SetLastError(eFileCorrupted,
                            "File is corrupted: the main section is empty and another section follows it");
        return false;
    }
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
    mRefusal.Empty();
    mNotice.Empty();
    if (!name || !*name) return Fail(eFileNotCreated);
    const int version = header ? header->mFileVersion : kDefaultFileVersion;
    if (version >= kFirstUnsupportedFileVersion) return Fail(eFileVersionNotSupportedYet);
    if (version < kMinimumFileVersion) return Fail(eFileVersionNotSupportedAnymore);

    KString path(name);
    if (ExtractFileExtension(name).IsEmpty()) path += ".zeq";
    path = KAbsolutePath(path.Buffer());
    // The writers' one rule of what a new file may replace: a regular file, or
    // the one a symbolic link names (the link stays); never a pipe, device or
    // directory.
    KResolvedPath replaced, named;
    KString reason;
    int code = 0;
    if (!KFileReplacement::ResolveTarget(path.Buffer(), replaced, reason, &code, false, &named)) {
        mError.SetLastError(eFileNotCreated, reason.Buffer());
        mError.SetLastSystemError(code);
        return false;
    }
    // The data folder of the file replaced goes once the new one is in place: found
    // beside the file's name in the directory the walk holds, never by a walk of its
    // own, and only where there is a file to replace (a new file's name says nothing of
    // a folder that happens to bear its data folder's name).
    struct stat old;
    if (IsZeqExtension(path.Buffer()) && named.mDirectory.Get() >= 0 &&
        ::fstatat(replaced.mDirectory.Get(), replaced.mName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(old.st_mode)) {
        const KString data = ChangeFileExtension(named.mName.c_str(), ".zqd");
        const std::size_t slash = named.mPath.rfind('/');
        mDataFolder = {KDescriptor(::fcntl(named.mDirectory.Get(), F_DUPFD_CLOEXEC, 0)), data.Buffer(),
                       named.mPath.substr(0, slash + 1) + data.Buffer()};
    }
    KFileReplacement::RemoveStaleTemporaries(replaced);
    // Written unnamed where the system allows it (nothing is left when the writer
    // dies), else under KFileReplacement's temporary name; beside the file
    // replaced either way, so that the rename is atomic, and the writer's alone
    // until it is complete.
    const int anonymous = KFileReplacement::CreateUnnamedTemporary(replaced);
    if (anonymous >= 0) {
        if (!mFile.OpenDescriptor(anonymous, "w+b")) return FailSystem(eFileNotCreated);
        mTempAnonymous = true;
    } else {
        const int fd = KFileReplacement::CreateTemporary(replaced, mTempPath);
        if (fd < 0) {
            FailSystem(eFileNotCreated);
            mTempPath = "";
            return false;
        }
        // The stream on a descriptor of its own: the temporary goes by this one when it
        // cannot be made, and nothing another user put under its name meanwhile.
        const bool opened = mFile.OpenDescriptor(::fcntl(fd, F_DUPFD_CLOEXEC, 0), "w+b");
        if (!opened) FailSystem(eFileNotCreated);
        if (!opened) KFileReplacement::RemoveTemporary(fd, mTempPath, replaced);
        ::close(fd);
        if (!opened) {
            mTempPath = "";
            return false;
        }
    }
    mPath = path;
    mReplaced = std::move(replaced);
    mStream = &mFile;
    if (!CreateCommon(binary, encrypted, header)) {
        Discard();
        KeepError(eFileNotCreated);
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
        return FailSystem(eFileNotCreated);
    }
    mWriteEnd = prologue.Size();
    BeginSectionWrite(0, mHeader.mFileVersion);
    return true;
}

void KZeq::Impl::Discard() {
    mTempAnonymous = false;
    // Only the writer's own file goes: another user may have put something else under its name.
    if (!mTempPath.IsEmpty() && mFile.IsOpen())
        KFileReplacement::RemoveTemporary(mFile.Descriptor(), mTempPath, mReplaced);
    mFile.Close();
    const KError kept = mError;
    ResetState();
    if (kept.GetLastErrorID() >= 0) mError.CopyLastError(kept.GetLastErrorID(), kept);
}

bool KZeq::Impl::Finish() {
    ZeqBuffer tail;
    if (mBinary) {
        if (!EncodeSectionTable(mSections, tail)) return Fail(eOutOfMemory);
        std::uint8_t slot[kSlotSize];
        BuildSlot(slot, mWriteEnd, tail.Size(), 1);
        if (!mStream->Seek(mWriteEnd) || mStream->Write(tail.Data(), tail.Size()) != tail.Size()) {
            return FailSystem(eFileWriteError);
        }
        if (!mStream->Seek(kSlotOffset) || mStream->Write(slot, kSlotSize) != kSlotSize) return FailSystem(eFileWriteError);
    } else {
        AppendAsciiEnd(tail);
        if (!mStream->Seek(mWriteEnd) || mStream->Write(tail.Data(), tail.Size()) != tail.Size()) {
            return FailSystem(eFileWriteError);
        }
    }
    if (!mStream->Flush()) return FailSystem(eFileWriteError);
    if (mTempAnonymous || !mTempPath.IsEmpty()) {
        // The content reaches the disk before it takes the name, and the new name
        // reaches it before the data of the file it replaced goes.
        if (!mStream->Sync()) return FailSystem(eFileWriteError);
        if (mTempAnonymous) {
            KString named = KFileReplacement::TemporaryName(mReplaced.mPath.c_str());
            if (!LinkDescriptor(mFile.Descriptor(), mReplaced.mDirectory.Get(), named))
                return FailSystem(eFileNotCreated);
            if (zeqdetail::gReplacementSeams.mTemporaryNamed)
                zeqdetail::gReplacementSeams.mTemporaryNamed(named.Buffer());
            // Known by its name from here, with nothing between that may throw.
            mTempAnonymous = false;
            mTempPath = std::move(named);
        }
        // The temporary's lock stays held through the rename (the stream's
        // close would drop it), so that no cleanup takes it for a dead writer's.
        // Once the stream is closed the temporary is known by this descriptor:
        // leaving before it took the file's name (a failure, memory running out)
        // removes it, and nothing another user put under its name.
        struct Held {
            int mFd;
            KString& mTemporary;
            const KResolvedPath& mFile;
            ~Held() {
                if (mFd < 0) return;
                if (!mTemporary.IsEmpty()) KFileReplacement::RemoveTemporary(mFd, mTemporary, mFile);
                mTemporary.Empty();
                ::close(mFd);
            }
        } held{::dup(mFile.Descriptor()), mTempPath, mReplaced};
        if (held.mFd < 0) return FailSystem(eFileNotCreated);
        if (!mFile.Close()) return FailSystem(eFileWriteError);
        // Given what the replaced file has only now that it is complete.
        KString reason;
        int code = 0;
        if (!KFileReplacement::PutInPlace(held.mFd, mTempPath, mReplaced, reason, code, mPermissionLimit))
            return FailRefused(eFileNotCreated, reason, code);
        mTempPath.Empty();
        // The file is written and in place: what follows is tidying, and memory running out
        // there is no failure of the write (the old data stays when the new name may not be on
        // the disk yet).
        try {
            KFileReplacement::SyncDirectoryOf(mReplaced);
            // Data that belonged to the file just replaced: only the writer's own goes.
            if (!mDataFolder.mName.empty()) RemoveDataFolder();
        } catch (const std::bad_alloc&) {
        }
    }
    return true;
}

void KZeq::Impl::RemoveDataFolder() {
    struct stat st;
    if (::fstatat(mDataFolder.mDirectory.Get(), mDataFolder.mName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    bool othersLeft = false;
    if ((S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) && KRemoveDirectory(mDataFolder, &othersLeft)) return;
    // What stays is said: the file is written, but its old data is not all gone.
    std::string why;
    if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
        why = std::string("it is ") + KFileKindOf(st.st_mode) + ", not a folder";
    else if (othersLeft || st.st_uid != ::geteuid())
        why = "it, or something in it, belongs to another user";
    else if (S_ISLNK(st.st_mode))
        why = "the link cannot be removed";
    else
        why = "not everything in it can be removed (a file the system keeps from removal, or a tree too deep)";
    mNotice = ("The data folder \"" + mDataFolder.mPath + "\" is not removed: " + why).c_str();
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
    const KError kept = mError;
    ResetState();
    if (kept.GetLastErrorID() >= 0) mError.CopyLastError(kept.GetLastErrorID(), kept);
    return ok;
}

}  // namespace zeqsdk_400
