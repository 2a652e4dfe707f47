// KZeq: embedded files, stored from a source file and extracted into a directory.

#include "fileio/kzeqimpl.h"

#include <algorithm>
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

}  // namespace zeqsdk_400
