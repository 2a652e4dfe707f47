#ifndef ZEQ_FILEIO_KZEQCRYPTO_H
#define ZEQ_FILEIO_KZEQCRYPTO_H

// Keys of encrypted field files. The cipher itself is the stream chain's
// (KChainedCipherFile); everything here is nettle's or the system's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeqsdk_400 {
namespace zeqdetail {

constexpr std::size_t kKeySize = 32;
constexpr std::size_t kNonceSize = 16;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kVerifierSize = 32;

// Key derivations stored with a password; only one so far.
constexpr std::uint32_t kKdfNone = 0;
constexpr std::uint32_t kKdfPbkdf2Sha256 = 1;
// A fixed cost per derivation id, so a file cannot ask for an arbitrary one.
constexpr unsigned kPbkdf2Iterations = 100000;

// Fills the bytes from the system's random source; false when it fails.
bool RandomBytes(std::uint8_t* bytes, std::size_t count);

// The key of encrypted sections without a password. It ships with the SDK, so it
// only obfuscates.
void BuiltInKey(std::uint8_t key[kKeySize]);

// PBKDF2-HMAC-SHA256 of the password with the salt, 64 bytes: the first half is the
// content key, the second half the verifier stored in the file. The two halves are
// separate PBKDF2 blocks, so the stored one tells nothing about the key.
void DerivePasswordKey(std::string_view password, const std::uint8_t salt[kSaltSize], std::uint8_t key[kKeySize],
                       std::uint8_t verifier[kVerifierSize]);

// Twofish in counter mode (nettle). The key stream is addressed by byte offset,
// so any range can be enciphered on its own; enciphering and deciphering are the
// same operation.
class ZeqCtrCipher {
public:
    ZeqCtrCipher();
    ~ZeqCtrCipher();
    ZeqCtrCipher(const ZeqCtrCipher&) = delete;
    ZeqCtrCipher& operator=(const ZeqCtrCipher&) = delete;

    void SetKey(const std::uint8_t key[kKeySize], const std::uint8_t nonce[kNonceSize]);
    void Apply(std::uint8_t* data, std::size_t size, std::uint64_t streamOffset) const;

private:
    struct Context;
    Context* mContext;
};

// Comparison whose time does not depend on where the bytes differ.
bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count);

std::string ToHex(const std::uint8_t* bytes, std::size_t count);
// Exactly 2 * count hex digits.
bool FromHex(std::string_view text, std::uint8_t* bytes, std::size_t count);

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
