#include "fileio/kzeqcrypto.h"

#include <fcntl.h>
#include <nettle/ctr.h>
#include <nettle/pbkdf2.h>
#include <nettle/twofish.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace zeqsdk_400 {
namespace zeqdetail {

bool RandomBytes(std::uint8_t* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::getrandom(bytes + done, count - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (done == count) return true;
    // Kernels without getrandom.
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    while (done < count) {
        const ssize_t n = ::read(fd, bytes + done, count - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return done == count;
}

void BuiltInKey(std::uint8_t key[kKeySize]) {
    static const std::uint8_t kKey[kKeySize] = {
        0x5a, 0x71, 0xe3, 0x0c, 0x94, 0x2b, 0xd8, 0x46, 0x1f, 0xa7, 0x60, 0x3e, 0xc5, 0x89, 0x12, 0xfb,
        0x7d, 0x34, 0xae, 0x58, 0x03, 0xe6, 0x9b, 0x21, 0xcc, 0x4f, 0x87, 0x10, 0x6a, 0xf2, 0x35, 0xbd};
    std::memcpy(key, kKey, kKeySize);
}

void DerivePasswordKey(std::string_view password, const std::uint8_t salt[kSaltSize], std::uint8_t key[kKeySize],
                       std::uint8_t verifier[kVerifierSize]) {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A fuzzer meets the same few passwords and salts in every run: derivations
    // are remembered so that it keeps its speed. Never in a product build.
    struct Memo {
        std::string mPassword;
        std::uint8_t mSalt[kSaltSize];
        std::uint8_t mDerived[kKeySize + kVerifierSize];
    };
    static std::vector<Memo> memos;
    for (const Memo& m : memos) {
        if (m.mPassword == password && std::memcmp(m.mSalt, salt, kSaltSize) == 0) {
            std::memcpy(key, m.mDerived, kKeySize);
            std::memcpy(verifier, m.mDerived + kKeySize, kVerifierSize);
            return;
        }
    }
#endif
    std::uint8_t derived[kKeySize + kVerifierSize];
    static const std::uint8_t kEmpty = 0;
    const auto* text = password.empty() ? &kEmpty : reinterpret_cast<const std::uint8_t*>(password.data());
    pbkdf2_hmac_sha256(password.size(), text, kPbkdf2Iterations, kSaltSize, salt, sizeof(derived), derived);
    std::memcpy(key, derived, kKeySize);
    std::memcpy(verifier, derived + kKeySize, kVerifierSize);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    if (memos.size() >= 256) memos.erase(memos.begin());
    memos.push_back(Memo{std::string(password), {}, {}});
    std::memcpy(memos.back().mSalt, salt, kSaltSize);
    std::memcpy(memos.back().mDerived, derived, sizeof(derived));
#endif
    std::memset(derived, 0, sizeof(derived));
}

struct ZeqCtrCipher::Context {
    twofish_ctx mCipher;
    std::uint8_t mNonce[kNonceSize];
    // The key schedule takes long to make, and every file object has a cipher it mostly never
    // uses: the zero key is set up on first use, unless a key is given before. False as made
    // (value-initialised).
    bool mKeyed;
};

namespace {

void TwofishEncrypt(const void* context, std::size_t length, std::uint8_t* dst, const std::uint8_t* src) {
    twofish_encrypt(static_cast<const twofish_ctx*>(context), length, dst, src);
}

// counter = nonce + block, as a 128-bit big-endian number.
void CounterAt(const std::uint8_t nonce[16], std::uint64_t block, std::uint8_t counter[16]) {
    unsigned carry = 0;
    for (int i = 15; i >= 0; --i) {
        const unsigned add = i >= 8 ? static_cast<unsigned>((block >> (8 * (15 - i))) & 0xFF) : 0;
        const unsigned sum = nonce[i] + add + carry;
        counter[i] = static_cast<std::uint8_t>(sum & 0xFF);
        carry = sum >> 8;
    }
}

}  // namespace

ZeqCtrCipher::ZeqCtrCipher() : mContext(new Context()) {}

ZeqCtrCipher::~ZeqCtrCipher() {
    std::memset(mContext, 0, sizeof(Context));
    delete mContext;
}

void ZeqCtrCipher::SetKey(const std::uint8_t key[kKeySize], const std::uint8_t nonce[kNonceSize]) {
    twofish_set_key(&mContext->mCipher, kKeySize, key);
    std::memcpy(mContext->mNonce, nonce, kNonceSize);
    mContext->mKeyed = true;
}

void ZeqCtrCipher::Apply(std::uint8_t* data, std::size_t size, std::uint64_t streamOffset) const {
    if (!mContext->mKeyed) {
        const std::uint8_t zero[kKeySize] = {};
        const_cast<ZeqCtrCipher*>(this)->SetKey(zero, zero);
    }
    constexpr std::size_t kBlock = TWOFISH_BLOCK_SIZE;
    std::uint8_t counter[kBlock];
    CounterAt(mContext->mNonce, streamOffset / kBlock, counter);
    const std::size_t skip = static_cast<std::size_t>(streamOffset % kBlock);
    if (skip != 0 && size > 0) {
        // A range starting inside a block uses the tail of that block's key stream.
        std::uint8_t stream[kBlock];
        twofish_encrypt(&mContext->mCipher, kBlock, stream, counter);
        const std::size_t count = std::min(size, kBlock - skip);
        for (std::size_t i = 0; i < count; ++i) data[i] ^= stream[skip + i];
        data += count;
        size -= count;
        CounterAt(mContext->mNonce, streamOffset / kBlock + 1, counter);
    }
    if (size > 0) ctr_crypt(&mContext->mCipher, &TwofishEncrypt, kBlock, counter, size, data, data);
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < count; ++i) difference = static_cast<std::uint8_t>(difference | (a[i] ^ b[i]));
    return difference == 0;
}

std::string ToHex(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return text;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool FromHex(std::string_view text, std::uint8_t* bytes, std::size_t count) {
    if (text.size() != count * 2) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
