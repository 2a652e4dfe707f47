#ifndef ZEQ_FILEIO_TESTS_FILEIO_TEST_SUPPORT_H
#define ZEQ_FILEIO_TESTS_FILEIO_TEST_SUPPORT_H

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"

namespace zeqtest {

// Whole binary files around hand-made bodies, shared with the fuzz targets.
using zeqfuzz::MakeBinaryZeq;

// A fresh directory under ZEQ_TEST_TMP for one test, removed afterwards.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        const char* root = std::getenv("ZEQ_TEST_TMP");
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("fileio-") + (info ? info->name() : "") + "-" + std::to_string(::getpid()) +
                           "-" + std::to_string(counter++);
        std::replace(name.begin(), name.end(), '/', '_');
        mPath = (root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path()) / name;
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Str(const zeqsdk_400::KString& text) { return std::string(text.Buffer(), text.GetLen()); }

// Runs body in a child process, its files capped at fileLimit bytes when that is
// given (a write beyond fails instead of raising a signal), while this process runs
// meanwhile; answers whether the child exited with status 0.
inline bool InChild(const std::function<bool()>& body, rlim_t fileLimit = 0,
                    const std::function<void()>& meanwhile = nullptr) {
    const pid_t child = ::fork();
    if (child == 0) {
        const struct rlimit limit = {fileLimit, fileLimit};
        if (fileLimit > 0 && (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0))
            ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    if (meanwhile) meanwhile();
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The bytes with the one at `at` changed by mask.
inline std::string Flipped(std::string bytes, std::size_t at, char mask = 1) {
    bytes.at(at) ^= mask;
    return bytes;
}

// The raw little-endian bytes of a value.
template <class T>
std::string Bytes(T value) {
    std::string out(sizeof(T), '\0');
    std::memcpy(&out[0], &value, sizeof(T));
    return out;
}

// The three encodings of a field file, for parameterised tests.
struct Encoding {
    const char* mName;
    bool mBinary;
    bool mEncrypted;
};
inline constexpr Encoding kBinary{"Binary", true, false};
inline constexpr Encoding kEncrypted{"Encrypted", true, true};
inline constexpr Encoding kAscii{"Ascii", false, false};
inline const Encoding kEncodings[] = {kBinary, kEncrypted, kAscii};
inline std::string EncodingName(const testing::TestParamInfo<Encoding>& info) { return info.param.mName; }
// What ctest shows of the parameter (not its raw bytes).
inline void PrintTo(const Encoding& encoding, std::ostream* os) { *os << encoding.mName; }

// Creates a field file whose main section write() fills; fails with the error text.
inline testing::AssertionResult WriteZeq(const std::string& path, const Encoding& encoding,
                                         const std::function<void(zeqsdk_400::KZeq&)>& write, int version = 6000) {
    zeqsdk_400::KZeqFileHeaderInfo header;
    header.mFileVersion = version;
    zeqsdk_400::KZeq z;
    if (!z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted, &header)) {
        return testing::AssertionFailure() << "create: " << z.GetLastErrorString();
    }
    write(z);
    if (z.GetLastErrorID() != -1 || !z.ProjectClose()) {
        return testing::AssertionFailure() << "write: " << z.GetLastErrorString();
    }
    return testing::AssertionSuccess();
}

// Writes a field: its name, then each value by the writer of its type (a vector as an array).
inline void PutValue(zeqsdk_400::KZeq& z, int value) { z.FieldWriteI(value); }
inline void PutValue(zeqsdk_400::KZeq& z, zeqsdk_400::kLongLong value) { z.FieldWriteL(value); }
inline void PutValue(zeqsdk_400::KZeq& z, double value) { z.FieldWriteD(value); }
inline void PutValue(zeqsdk_400::KZeq& z, char value) { z.FieldWriteCH(value); }
inline void PutValue(zeqsdk_400::KZeq& z, const char* value) { z.FieldWriteC(value); }
inline void PutValue(zeqsdk_400::KZeq& z, const std::string& value) { z.FieldWriteC(value.data(), value.size()); }
template <class T>
void PutValue(zeqsdk_400::KZeq& z, const std::vector<T>& values) {
    const int n = static_cast<int>(values.size());
    if constexpr (std::is_same_v<T, double>) z.FieldWriteDn(values.data(), n);
    if constexpr (std::is_same_v<T, float>) z.FieldWriteFn(values.data(), n);
    if constexpr (std::is_same_v<T, int>) z.FieldWriteIn(values.data(), n);
    if constexpr (std::is_same_v<T, zeqsdk_400::kLongLong>) z.FieldWriteLn(values.data(), n);
}
template <class... Values>
void PutValues(zeqsdk_400::KZeq& z, const Values&... values) {
    (PutValue(z, values), ...);
}
template <class... Values>
void Put(zeqsdk_400::KZeq& z, const char* name, const Values&... values) {
    z.FieldWriteBegin(name);
    PutValues(z, values...);
}

// The error a file of these bytes fails to open with (its main section opened); -1 when it opens.
inline int OpenError(const std::string& path, const std::string& bytes) {
    WriteFile(path, bytes);
    zeqsdk_400::KZeq z;
    return z.ProjectOpen(path.c_str(), false, true) ? -1 : z.GetLastErrorID();
}

// Up to count values of the next field of that name (of the open field when name
// is null), read by the array reader of T.
template <class T>
std::vector<T> ReadValues(zeqsdk_400::KZeq& z, const char* name, std::size_t count) {
    std::vector<T> out(count);
    if (name && !z.FieldReadBegin(name)) return {};
    const int n = static_cast<int>(count);
    int read = 0;
    if constexpr (std::is_same_v<T, double>) read = z.FieldReadDn(out.data(), n);
    if constexpr (std::is_same_v<T, float>) read = z.FieldReadFn(out.data(), n);
    if constexpr (std::is_same_v<T, int>) read = z.FieldReadIn(out.data(), n);
    if constexpr (std::is_same_v<T, zeqsdk_400::kLongLong>) read = z.FieldReadLn(out.data(), n);
    out.resize(static_cast<std::size_t>(read));
    return out;
}

// A field of the binary body encoding: the length of the rest, the name length with
// the block flag, the value count and the value bytes' length, then name, values, block.
inline std::string RawField(const std::string& name, std::uint32_t valueCount, const std::string& values,
                            const std::string& block = "", bool hasBlock = false) {
    return Bytes<std::uint64_t>(16 + name.size() + values.size() + block.size()) +
           Bytes(static_cast<std::uint32_t>(name.size()) | (hasBlock ? 0x80000000u : 0u)) + Bytes(valueCount) +
           Bytes<std::uint64_t>(values.size()) + name + values + block;
}

// A chunk reference value ('X') for bytes lying at offset in the file.
inline std::string ChunkRef(std::uint32_t valueCount, const std::string& bytes, std::uint64_t offset) {
    return "X" + Bytes(valueCount) + Bytes<std::uint64_t>(bytes.size()) + Bytes(offset) +
           Bytes(zeqsdk_400::zeqdetail::Crc32(0, bytes.data(), bytes.size())) + std::string(16 + 32, '\0');
}

}  // namespace zeqtest

#endif
