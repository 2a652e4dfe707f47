#include "fileio/kchainedfile.h"

#include "fileio/kpath.h"
#include "fileio/kzeqcrypto.h"

#include <unistd.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace zeqsdk_400 {

KChainedFile::~KChainedFile() = default;

// --- stdio -------------------------------------------------------------------

KChainedStdioFile::~KChainedStdioFile() { Close(); }

bool KChainedStdioFile::Open(const char* path, const char* mode) {
    Close();
    if (!path || !*path || !mode) return false;
    // Reading takes regular files only, without waiting on a pipe.
    mFile = mode[0] == 'r' ? KOpenFileForReading(path, mode) : std::fopen(path, mode);
    return mFile != nullptr;
}

bool KChainedStdioFile::OpenDescriptor(int descriptor, const char* mode) {
    Close();
    if (descriptor < 0) return false;
    mFile = mode ? ::fdopen(descriptor, mode) : nullptr;
    if (!mFile) ::close(descriptor);
    return mFile != nullptr;
}

int KChainedStdioFile::Descriptor() const { return mFile ? ::fileno(mFile) : -1; }

bool KChainedStdioFile::Failed() const { return mFile && std::ferror(mFile) != 0; }

bool KChainedStdioFile::Close() {
    if (!mFile) return true;
    const bool ok = std::fclose(mFile) == 0;
    mFile = nullptr;
    return ok;
}

std::size_t KChainedStdioFile::Read(void* buffer, std::size_t size) {
    if (!mFile || size == 0) return 0;
    return std::fread(buffer, 1, size, mFile);
}

std::size_t KChainedStdioFile::Write(const void* data, std::size_t size) {
    if (!mFile || size == 0) return 0;
    return std::fwrite(data, 1, size, mFile);
}

bool KChainedStdioFile::Seek(kULongLong position) {
    if (!mFile || position > static_cast<kULongLong>(std::numeric_limits<off_t>::max())) return false;
    return ::fseeko(mFile, static_cast<off_t>(position), SEEK_SET) == 0;
}

kULongLong KChainedStdioFile::GetPosition() const {
    if (!mFile) return 0;
    const off_t position = ::ftello(mFile);
    return position < 0 ? 0 : static_cast<kULongLong>(position);
}

kULongLong KChainedStdioFile::GetSize() {
    if (!mFile) return 0;
    const off_t here = ::ftello(mFile);
    if (here < 0 || ::fseeko(mFile, 0, SEEK_END) != 0) return 0;
    const off_t end = ::ftello(mFile);
    ::fseeko(mFile, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<kULongLong>(end);
}

bool KChainedStdioFile::Flush() { return mFile && std::fflush(mFile) == 0; }

bool KChainedStdioFile::Sync() { return Flush() && ::fsync(::fileno(mFile)) == 0; }

bool KChainedStdioFile::Truncate(kULongLong size) {
    if (!Flush() || size > static_cast<kULongLong>(std::numeric_limits<off_t>::max())) return false;
    return ::ftruncate(::fileno(mFile), static_cast<off_t>(size)) == 0;
}

// --- memory ------------------------------------------------------------------

KChainedMemoryFile::KChainedMemoryFile() = default;

KChainedMemoryFile::KChainedMemoryFile(const void* data, std::size_t size) {
    if (data && size > 0 && Reserve(size)) {
        std::memcpy(mData, data, size);
        mSize = size;
    }
}

KChainedMemoryFile::~KChainedMemoryFile() { std::free(mData); }

bool KChainedMemoryFile::Reserve(std::size_t size) {
    if (size <= mCapacity) return true;
    std::size_t capacity = std::max<std::size_t>(mCapacity + mCapacity / 2, 4096);
    if (capacity < size) capacity = size;
    void* grown = std::realloc(mData, capacity);
    if (!grown) return false;
    mData = static_cast<std::uint8_t*>(grown);
    mCapacity = capacity;
    return true;
}

std::size_t KChainedMemoryFile::Read(void* buffer, std::size_t size) {
    if (mPosition >= mSize || size == 0) return 0;
    const std::size_t count = std::min(size, mSize - mPosition);
    std::memcpy(buffer, mData + mPosition, count);
    mPosition += count;
    return count;
}

std::size_t KChainedMemoryFile::Write(const void* data, std::size_t size) {
    if (size == 0) return 0;
    if (size > std::numeric_limits<std::size_t>::max() - mPosition) return 0;
    const std::size_t end = mPosition + size;
    if (!Reserve(end)) return 0;
    // Writing past the end fills the gap with zeros, as a file does.
    if (mPosition > mSize) std::memset(mData + mSize, 0, mPosition - mSize);
    std::memcpy(mData + mPosition, data, size);
    mPosition = end;
    mSize = std::max(mSize, end);
    return size;
}

bool KChainedMemoryFile::Seek(kULongLong position) {
    if (position > std::numeric_limits<std::size_t>::max() / 2) return false;
    mPosition = static_cast<std::size_t>(position);
    return true;
}

bool KChainedMemoryFile::Truncate(kULongLong size) {
    if (size > std::numeric_limits<std::size_t>::max() / 2) return false;
    const std::size_t newSize = static_cast<std::size_t>(size);
    if (newSize > mSize) {
        if (!Reserve(newSize)) return false;
        std::memset(mData + mSize, 0, newSize - mSize);
    }
    mSize = newSize;
    return true;
}

// --- CRC -----------------------------------------------------------------------

namespace zeqdetail {

// libdeflate's CRC-32: zlib's polynomial and values, several times faster where
// the processor multiplies without carries.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    if (size == 0) return crc;
    return libdeflate_crc32(crc, data, size);
}

}  // namespace zeqdetail

// Large transfers go in slices, each checksummed while it is still in the cache.
constexpr std::size_t kCrcSlice = 1 << 20;

std::size_t KChainedCrcFile::Read(void* buffer, std::size_t size) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t want = std::min(kCrcSlice, size - done);
        const std::size_t count = GetNext().Read(bytes + done, want);
        mCrc = zeqdetail::Crc32(mCrc, bytes + done, count);
        done += count;
        if (count != want) break;
    }
    return done;
}

std::size_t KChainedCrcFile::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t want = std::min(kCrcSlice, size - done);
        const std::size_t count = GetNext().Write(bytes + done, want);
        mCrc = zeqdetail::Crc32(mCrc, bytes + done, count);
        done += count;
        if (count != want) break;
    }
    return done;
}

// --- Twofish counter mode -----------------------------------------------------------

struct KChainedCipherFile::Context {
    zeqdetail::ZeqCtrCipher mCipher;
};

KChainedCipherFile::KChainedCipherFile(KChainedFile& next) : KChainedLayer(next), mContext(new Context()) {}

KChainedCipherFile::~KChainedCipherFile() = default;

void KChainedCipherFile::SetKey(const std::uint8_t key[kKeySize], const std::uint8_t nonce[kNonceSize],
                                kULongLong origin) {
    mContext->mCipher.SetKey(key, nonce);
    mOrigin = origin;
}

void KChainedCipherFile::Apply(std::uint8_t* data, std::size_t size, kULongLong streamOffset) const {
    mContext->mCipher.Apply(data, size, streamOffset);
}

std::size_t KChainedCipherFile::Read(void* buffer, std::size_t size) {
    const kULongLong position = GetPosition();
    const std::size_t count = GetNext().Read(buffer, size);
    if (position >= mOrigin) Apply(static_cast<std::uint8_t*>(buffer), count, position - mOrigin);
    return count;
}

std::size_t KChainedCipherFile::Write(const void* data, std::size_t size) {
    const kULongLong start = GetPosition();
    if (start < mOrigin) return 0;
    // The caller's bytes stay untouched: encipher through a bounded scratch buffer.
    constexpr std::size_t kChunk = 64 * 1024;
    std::uint8_t scratch[kChunk];
    const auto* source = static_cast<const std::uint8_t*>(data);
    std::size_t written = 0;
    while (written < size) {
        const std::size_t count = std::min(kChunk, size - written);
        std::memcpy(scratch, source + written, count);
        Apply(scratch, count, start - mOrigin + written);
        const std::size_t done = GetNext().Write(scratch, count);
        written += done;
        if (done != count) break;
    }
    return written;
}

}  // namespace zeqsdk_400
