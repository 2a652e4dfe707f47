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

}  // namespace

// --- embedded files -----------------------------------------------------------------------------

bool KZeq::Impl::WriteEmbedded(const KString& fileName, const KString& relativeName) {
    if (!CanWrite() || !mBinary || !mBodyWriter.ValueOpen()) return false;
    KChainedStdioFile source;
    // A missing or unreadable source is the caller's to report; the field file
    // stays usable. A directory opens but never reads.
    if (!source.Open(fileName.Buffer(), "rb")) return false;
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
    if (source.Failed()) return false;
    ref.mCrc = crc.GetCrc();
    mWriteEnd += ref.mSize;
    const KString stored = relativeName.IsEmpty() ? ExtractFileName(fileName.Buffer()) : relativeName;
    ref.mName = View(stored);
    return AfterWrite(mBodyWriter.WriteEmbedded(ref));
}

namespace {

// A directory descriptor closed when it goes.
struct DirectoryFd {
    int mFd = -1;
    ~DirectoryFd() {
        if (mFd >= 0) ::close(mFd);
    }
    void Reset(int fd) {
        if (mFd >= 0) ::close(mFd);
        mFd = fd;
    }
};

// Opens the directory holding name below base, creating what is missing, without
// following a symbolic link anywhere below base; leaf receives the file part.
bool OpenParent(const KString& base, std::string_view name, DirectoryFd& dir, std::string& leaf) {
    // Opened in the directory the walk holds: base's own links are followed only as its walk
    // follows them, once.
    KPathWalk walk;
    if (!KEnsureDirectoryExistance((base + "/").Buffer()) || !KWalkPath(base.Buffer(), walk)) return false;
    dir.Reset(::openat(walk.mPlace.mDirectory.Get(), walk.mPlace.mName.c_str(),
                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.mFd < 0) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        const std::string part(name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            leaf = part;
            return !leaf.empty() && leaf != "." && leaf != "..";
        }
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (::mkdirat(dir.mFd, part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        const int next = ::openat(dir.mFd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return false;
        dir.Reset(next);
    }
}

}  // namespace

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
    base = KCleanPath(MakeFullPath(KGetCurrentDirectory().Buffer(), base.Buffer()));
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
    DirectoryFd dir;
    std::string leaf;
    if (!OpenParent(base, View(name), dir, leaf)) return Fail(eEmbeddedFileError);

    // Written under a temporary name and renamed: a failed copy leaves no partial
    // file, and the rename replaces a link at the target instead of following it.
    std::uint8_t random[8] = {};
    RandomBytes(random, sizeof(random));
    const std::string temp = leaf + ".part" + ToHex(random, sizeof(random));
    KChainedStdioFile out;
    const int fd = ::openat(dir.mFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
        ::unlinkat(dir.mFd, temp.c_str(), 0);
        return Fail(intact ? eEmbeddedFileError : eFileCorrupted);
    }
    struct stat st;
    const bool existed = ::fstatat(dir.mFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (::renameat(dir.mFd, temp.c_str(), dir.mFd, leaf.c_str()) != 0) {
        ::unlinkat(dir.mFd, temp.c_str(), 0);
        return Fail(eEmbeddedFileError);
    }
    fileName = MakeFullPath(base.Buffer(), name.Buffer());
    if (overwritten) *overwritten = existed;
    return true;
}

}  // namespace zeqsdk_400
