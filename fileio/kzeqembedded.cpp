// KZeq: embedded files, stored from a source file and extracted into a directory.

#include "fileio/kzeqimpl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <cstdio>
#include <cstring>
#include <limits>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

using namespace zeqdetail;

namespace {

// Embedded files move through memory in slices of this size.
constexpr std::size_t kCopyChunk = 1 << 20;

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

// The mode to make a file of mode with in the folder open as folder, to have group: mode,
// else where it will get another group there (the folder's where it is setgid, else this
// process's), KWithoutGroupBeyondOthers(mode), so that no other group may open it before its
// content is written. Made, it is looked at again: the group it got is the one that counts.
mode_t ModeToMakeIn(int folder, mode_t mode, gid_t group) {
    struct stat st;
    if (group == kAnyGroup || KWithoutGroupBeyondOthers(mode) == mode) return mode;
    const bool kept = ::fstat(folder, &st) == 0 && ((st.st_mode & S_ISGID) ? st.st_gid : ::getegid()) == group;
    return kept ? mode : KWithoutGroupBeyondOthers(mode);
}

}  // namespace

// --- embedded files -----------------------------------------------------------------------------

bool KZeq::Impl::WriteEmbedded(const KString& fileName, const KString& relativeName) {
    if (!CanWrite() || !mBinary || !mBodyWriter.ValueOpen()) return false;
    mRefusal.Empty();
    // A missing or unreadable source is the caller's to report (GetLastRefusal says
    // why); the field file stays usable. Read as a copy's source is: another user's
    // link in a shared sticky folder is not followed, and the file written gets no
    // more access than the source has.
    KString refusal;
    int code = 0;
    mode_t permissions = 0;
    const int fd = KOpenSourceDescriptor(fileName.Buffer(), &refusal, &code, &permissions);
    KChainedStdioFile source;
    if (fd < 0 || !source.OpenDescriptor(fd, "rb")) {
        mRefusal = refusal.IsEmpty() ? KString(("Cannot read \"" + std::string(fileName.Buffer()) + "\"").c_str())
                                     : refusal;
        return false;
    }
    const KString stored = relativeName.IsEmpty() ? ExtractFileName(fileName.Buffer()) : relativeName;
    if (!WriteEmbeddedFrom(source, stored)) return false;
    mPermissionLimit &= permissions | ~static_cast<mode_t>(0777);
    return true;
}

bool KZeq::Impl::WriteEmbeddedFrom(KChainedStdioFile& source, const KString& storedName) {
    if (!CanWrite() || !mBinary || !mBodyWriter.ValueOpen()) return false;
    struct stat st;
    if (::fstat(source.Descriptor(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    KChainedFile* stream = WriteStream();
    if (!stream) return Fail(eFileWriteError);
    if (!stream->Seek(mWriteEnd)) return FailSystem(eFileWriteError);
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
        if (sink->Write(chunk.Data(), count) != count) return FailSystem(eFileWriteError);
        ref.mSize += count;
    }
    // A read error is not the end of the file: nothing is stored (the bytes copied
    // so far lie past mWriteEnd and are overwritten by what comes next).
    if (source.Failed()) {
        mRefusal = "The file to embed cannot be read to its end";
        return false;
    }
    ref.mCrc = crc.GetCrc();
    mWriteEnd += ref.mSize;
    ref.mName = View(storedName);
    return AfterWrite(mBodyWriter.WriteEmbedded(ref));
}

mode_t KZeq::Impl::ExtractedFileMode(gid_t& group) const {
    struct stat st;
    // A file that cannot be looked at (a stream in memory) gives its owner alone access.
    const bool known = ::fstat(mFile.Descriptor(), &st) == 0;
    group = known ? st.st_gid : kAnyGroup;
    const mode_t mode = known ? 0666 & KPermissionsOf(mFile.Descriptor(), st.st_mode) : 0600;
    const bool password =
        mCurrent >= 0 && static_cast<std::size_t>(mCurrent) < mSections.size() && mSections[mCurrent].mPassword.Has();
    return password ? mode & 0600 : mode;
}

bool KZeq::Impl::ReadEmbedded(KString& fileName, const KString& relativeName, const char* directory,
                              bool* overwritten) {
    // A refusal is this extraction's alone: a later record that holds no content (or fails
    // for a reason of its own) does not say an earlier one's again.
    mRefusal.Empty();
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
    // As the system walks it: a ".." after a link goes up from where the link leads.
    base = KAbsolutePath(base.Buffer());
    if (ExtractFileName(base.Buffer()) == "..") base = KResolvePath(base.Buffer());
    mEmbeddedFolder = KHeldFolder();
    KString name;
    const KString candidates[3] = {relativeName, ExtractFileName(fileName.Buffer()),
                                   KString(ref.mName.data(), ref.mName.size())};
    for (const KString& candidate : candidates) {
        if (IsConfinedName(candidate)) {
            name = KCleanPath(candidate);
            break;
        }
    }
    if (name.IsEmpty() || !IsConfinedName(name)) return Fail(eEmbeddedFileError);
    // Nobody named what a read extracts: the way to the media folder follows no link another user
    // put where others may write (KNamedBy::eNobody). The media folder and the folders below it are
    // entered only where they are the reader's own: in one another user made (or could fill,
    // through a link of theirs) they could swap a file for a link while it is written or converted.
    const std::string_view nameText = View(name);
    const std::size_t cut = nameText.find_last_of("/\\");
    const std::string leaf(cut == std::string_view::npos ? nameText : nameText.substr(cut + 1));
    // A link below the media folder is not followed either, even one of the reader's own.
    const std::string below = cut == std::string_view::npos ? std::string() : std::string(nameText.substr(0, cut));
    KHeldFolder parent, media;
    KHeldFolder& folder = mEmbeddedFolder;
    const KString above = ExtractDirectoryFromFilePath(base.Buffer());
    // An extracted file, and every folder made for it, gets no more access than the Zeq file
    // it comes from has (its owner's alone where a password protects it), and where it does not
    // get the Zeq file's group (a setgid folder gives its own) no more group access than others:
    // a replacement refuses to give one group's access to another.
    gid_t group = kAnyGroup;
    const mode_t fileMode = ExtractedFileMode(group);
    const mode_t folderMode = fileMode | ((fileMode & 0444) >> 2);
    const bool held =
        !leaf.empty() && leaf != "." && leaf != ".." &&
        parent.Open(above.IsEmpty() ? "/" : above.Buffer(), true, folderMode, group, KNamedBy::eNobody) &&
        parent.OpenBelow(ExtractFileName(base.Buffer()).Buffer(), true, true, media, true, folderMode, group) &&
        (below.empty() ? media.Duplicate(folder)
                       : media.OpenBelow(below.c_str(), true, true, folder, false, folderMode, group));
    if (!held) {
        const std::string why = !parent.IsOpen() ? parent.GetError() : !media.IsOpen() ? media.GetError() : folder.GetError();
        return FailRefused(eEmbeddedFileError,
                           ("The embedded file \"" + std::string(name.Buffer()) + "\" is not extracted: " +
                            (why.empty() ? std::string("its name cannot be used") : why))
                               .c_str(),
                           0);
    }
    const int dirFd = folder.Get();

    // Written under a temporary name and renamed: a failed copy leaves no partial
    // file, and the rename replaces a link at the target instead of following it.
    std::uint8_t random[8] = {};
    RandomBytes(random, sizeof(random));
    const std::string temp = leaf + ".part" + ToHex(random, sizeof(random));
    KChainedStdioFile out;
    const int fd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            ModeToMakeIn(dirFd, fileMode, group));
    if (fd >= 0 && gReplacementSeams.mTemporaryNamed) gReplacementSeams.mTemporaryNamed(folder.PathOf(temp.c_str()).c_str());
    struct stat made;
    if (fd >= 0 && group != kAnyGroup && ::fstat(fd, &made) == 0 && made.st_gid != group &&
        ::fchmod(fd, KWithoutGroupBeyondOthers(made.st_mode & 07777)) != 0) {
        ::close(fd);
        ::unlinkat(dirFd, temp.c_str(), 0);
        return Fail(eEmbeddedFileError);
    }
    if (!out.OpenDescriptor(fd, "wb")) return Fail(eEmbeddedFileError);
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
        ::unlinkat(dirFd, temp.c_str(), 0);
        return Fail(intact ? eEmbeddedFileError : eFileCorrupted);
    }
    struct stat st;
    KFolderLook holding;
    const bool existed = ::fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    // A file another user may have put under its name where they may write the folder (one of the
    // reader's own that others may write) stays theirs, as for every write nobody named.
    const std::string untrusted = existed && S_ISREG(st.st_mode) && KLookAtFolder(dirFd, holding)
                                      ? KWhyFileIsNotTrusted(st, holding)
                                      : std::string();
    if (!untrusted.empty()) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        const std::string said = "The embedded file \"" + std::string(name.Buffer()) +
                                 "\" is not extracted: Cannot write \"" + folder.PathOf(leaf.c_str()) + "\": " +
                                 untrusted + " and is not written to: " + std::strerror(EACCES);
        return FailRefused(eEmbeddedFileError, said.c_str(), 0);
    }
    if (::renameat(dirFd, temp.c_str(), dirFd, leaf.c_str()) != 0) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        return Fail(eEmbeddedFileError);
    }
    // Named as given where the path holds no "..", else as the walk found it.
    fileName = KCleanPath(base) == base ? MakeFullPath(base.Buffer(), name.Buffer())
                                        : KString(folder.PathOf(leaf.c_str()).c_str());
    if (overwritten) *overwritten = existed;
    return true;
}

}  // namespace zeqsdk_400
