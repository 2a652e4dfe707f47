#ifndef ZEQ_FILEIO_KCHAINEDFILE_H
#define ZEQ_FILEIO_KCHAINEDFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/kdefs.h"

namespace zeqsdk_400 {

// A byte stream. A layer is itself a stream that passes every call down to the
// stream below it (its "next"), transforming the bytes on the way; the bottom of
// a chain is a file on disk or a memory buffer. Positions are absolute byte
// offsets of the bottom stream. No call throws.
class KChainedFile {
public:
    KChainedFile() = default;
    KChainedFile(const KChainedFile&) = delete;
    KChainedFile& operator=(const KChainedFile&) = delete;
    virtual ~KChainedFile();

    // The number of bytes actually read (fewer at the end of the data or on failure).
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // The number of bytes actually written (fewer on failure).
    virtual std::size_t Write(const void* data, std::size_t size) = 0;
    virtual bool Seek(kULongLong position) = 0;
    virtual kULongLong GetPosition() const = 0;
    // Size of the bottom stream; 0 when unknown.
    virtual kULongLong GetSize() = 0;
    virtual bool Flush() = 0;
    // Pushes written data to the storage device (a no-op in memory).
    virtual bool Sync() = 0;
    // Cuts or extends the data to size bytes.
    virtual bool Truncate(kULongLong size) = 0;
};

// A layer: forwards everything to the next stream, which it does not own.
class KChainedLayer : public KChainedFile {
public:
    explicit KChainedLayer(KChainedFile& next) : mNext(&next) {}

    std::size_t Read(void* buffer, std::size_t size) override { return mNext->Read(buffer, size); }
    std::size_t Write(const void* data, std::size_t size) override { return mNext->Write(data, size); }
    bool Seek(kULongLong position) override { return mNext->Seek(position); }
    kULongLong GetPosition() const override { return mNext->GetPosition(); }
    kULongLong GetSize() override { return mNext->GetSize(); }
    bool Flush() override { return mNext->Flush(); }
    bool Sync() override { return mNext->Sync(); }
    bool Truncate(kULongLong size) override { return mNext->Truncate(size); }

    KChainedFile& GetNext() { return *mNext; }

private:
    KChainedFile* mNext;
};

// Bottom of a chain: a stdio file.
class KChainedStdioFile final : public KChainedFile {
public:
    KChainedStdioFile() = default;
    ~KChainedStdioFile() override;

    // mode as for fopen ("rb", "r+b", "wb"); closes a file already open. A mode
    // for reading opens a regular file only (KOpenRegularFile).
    bool Open(const char* path, const char* mode);
    // Takes over an open descriptor (closed with the file, also on failure).
    bool OpenDescriptor(int descriptor, const char* mode);
    bool Close();
    bool IsOpen() const { return mFile != nullptr; }
    // The descriptor of the open file, -1 when none.
    int Descriptor() const;
    // True once a read or write failed (a failed read is not the end of the file).
    bool Failed() const;

    std::size_t Read(void* buffer, std::size_t size) override;
    std::size_t Write(const void* data, std::size_t size) override;
    bool Seek(kULongLong position) override;
    kULongLong GetPosition() const override;
    kULongLong GetSize() override;
    bool Flush() override;
    bool Sync() override;
    bool Truncate(kULongLong size) override;

private:
    std::FILE* mFile = nullptr;
};

// Bottom of a chain: a growable memory buffer (also used to open data held in memory).
class KChainedMemoryFile final : public KChainedFile {
public:
    KChainedMemoryFile();
    // Starts with a copy of the given bytes, positioned at 0.
    KChainedMemoryFile(const void* data, std::size_t size);
    ~KChainedMemoryFile() override;

    const std::uint8_t* GetData() const { return mData; }
    std::size_t GetDataSize() const { return mSize; }

    std::size_t Read(void* buffer, std::size_t size) override;
    std::size_t Write(const void* data, std::size_t size) override;
    bool Seek(kULongLong position) override;
    kULongLong GetPosition() const override { return mPosition; }
    kULongLong GetSize() override { return mSize; }
    bool Flush() override { return true; }
    bool Sync() override { return true; }
    bool Truncate(kULongLong size) override;

private:
    bool Reserve(std::size_t size);

    std::uint8_t* mData = nullptr;
    std::size_t mSize = 0;
    std::size_t mCapacity = 0;
    std::size_t mPosition = 0;
};

namespace zeqdetail {
// CRC-32 (the polynomial and values of zlib's crc32) of data, continuing crc;
// any length.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);
}  // namespace zeqdetail

// Layer computing the CRC-32 (zlib's) of every byte read or written through it
// since the last ResetCrc.
class KChainedCrcFile final : public KChainedLayer {
public:
    explicit KChainedCrcFile(KChainedFile& next) : KChainedLayer(next) {}

    void ResetCrc() { mCrc = 0; }
    std::uint32_t GetCrc() const { return mCrc; }

    std::size_t Read(void* buffer, std::size_t size) override;
    std::size_t Write(const void* data, std::size_t size) override;

private:
    std::uint32_t mCrc = 0;
};

// Layer enciphering with Twofish in counter mode: bytes written are encrypted,
// bytes read decrypted. The key stream is addressed by the position relative to
// an origin, so the layer can seek and rewrite any range.
class KChainedCipherFile final : public KChainedLayer {
public:
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kNonceSize = 16;

    explicit KChainedCipherFile(KChainedFile& next);
    ~KChainedCipherFile() override;

    // Byte origin of the stream is the absolute position where key stream offset 0 lies.
    void SetKey(const std::uint8_t key[kKeySize], const std::uint8_t nonce[kNonceSize], kULongLong origin);

    std::size_t Read(void* buffer, std::size_t size) override;
    std::size_t Write(const void* data, std::size_t size) override;

    // Enciphers or deciphers (the same operation) bytes lying at the given
    // offset of the key stream, in place.
    void Apply(std::uint8_t* data, std::size_t size, kULongLong streamOffset) const;

private:
    struct Context;
    std::unique_ptr<Context> mContext;
    kULongLong mOrigin = 0;
};

}  // namespace zeqsdk_400

#endif
