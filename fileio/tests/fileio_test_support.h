#ifndef ZEQ_FILEIO_TESTS_FILEIO_TEST_SUPPORT_H
#define ZEQ_FILEIO_TESTS_FILEIO_TEST_SUPPORT_H

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
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
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/tests/kownmounts.h"
#include "fileio/tests/scratch_root.h"
#include "fileio/tests/test_users.h"
#include "fuzz/fuzz_support.h"

namespace zeqtest {

using namespace zeqsdk_400;

// Whole binary files around hand-made bodies, shared with the fuzz targets.
using zeqfuzz::MakeBinaryZeq;

// A fresh directory for one test (MakeFreshFolder), removed afterwards: under ZEQ_TEST_TMP, or, with
// kOtherUsers, where the user AsUnprivileged becomes can reach it too (see ScratchRoot).
class TempDir {
public:
    enum Reach { kThisUser, kOtherUsers };
    explicit TempDir(Reach reach = kThisUser) {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("fileio-") + (info ? info->name() : "");
        std::replace(name.begin(), name.end(), '/', '_');
        mPath = MakeFreshFolder(ScratchRoot(reach == kOtherUsers), name);
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

inline std::string ReadFile(const std::string& path) { return ReadRegularFile(path); }

// How often part stands in text (overlapping ones too): a message said once, not twice.
inline std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); !part.empty() && at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A Zeq file's bytes without what differs between two writes of one content:
// the header's creation time (to the millisecond) and a binary header's two
// checksums over it.
inline std::string ReadZeqFileUnstamped(const std::string& path) {
    std::string bytes = ReadFile(path);
    const std::size_t stamp = bytes.find("CreationTimeStamp"), creator = bytes.find("Creator", stamp);
    if (stamp != std::string::npos && creator != std::string::npos) bytes.erase(stamp, creator - stamp);
    if (bytes.size() >= 32 && bytes[0] == '\x89') bytes.replace(24, 8, 8, '\0');
    return bytes;
}

inline std::string Str(const KString& text) { return std::string(text.Buffer(), text.GetLen()); }

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

// Runs body in a child process as a user other than root: this process's own, or kUnprivileged
// when this process is root. Answers what body answers ("" for success, else what failed), or
// nothing when the child cannot become that user or write in directory (NoUnprivilegedUser says
// which). Run as another user than root, body runs as the owner of the files the test made: a
// check that needs someone else calls ZEQ_SKIP_UNLESS_ROOT first.
inline std::optional<std::string> AsUnprivileged(const std::string& directory,
                                                 const std::function<std::string()>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 ||
                                 ::setresgid(kUnprivileged, kUnprivileged, kUnprivileged) != 0 ||
                                 ::setresuid(kUnprivileged, kUnprivileged, kUnprivileged) != 0))
            return std::nullopt;
        if (::access(directory.c_str(), W_OK | X_OK) != 0) return std::nullopt;
        return body();
    });
}

// Runs body in a child process in which directory (which exists) is a small memory file system
// filled to the last byte, so that writing there fails as on a full disk ("No space left on
// device"); the mount is the child's alone (InMountsOfItsOwn). Answers as ChildAnswer; nothing
// where no mount can be made.
inline std::optional<std::string> OnAFullDevice(const std::string& directory,
                                                const std::function<std::string()>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn() || ::mount("tmpfs", directory.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
            return std::nullopt;
        const std::string filler = directory + "/filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return std::nullopt;
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        if (!full) return std::nullopt;
        return body();
    });
}

// The bytes with the one at `at` changed by mask.
inline std::string Flipped(std::string bytes, std::size_t at, char mask = 1) {
    bytes.at(at) ^= mask;
    return bytes;
}

// Doubles by their bits: the same bits (as NaN payloads and -0 must be), and from bits.
inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }
inline double DoubleOf(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof(d));
    return d;
}

// The raw little-endian bytes of a value.
template <class T>
std::string Bytes(T value) {
    std::string out(sizeof(T), '\0');
    std::memcpy(&out[0], &value, sizeof(T));
    return out;
}

// The three encodings of a field file, for parameterised tests.
struct Encoding { const char* mName; bool mBinary; bool mEncrypted; };
inline constexpr Encoding kBinary{"Binary", true, false};
inline constexpr Encoding kEncrypted{"Encrypted", true, true};
inline constexpr Encoding kAscii{"Ascii", false, false};
inline const Encoding kEncodings[] = {kBinary, kEncrypted, kAscii};
inline std::string EncodingName(const testing::TestParamInfo<Encoding>& info) { return info.param.mName; }
// What ctest shows of the parameter (not its raw bytes).
inline void PrintTo(const Encoding& encoding, std::ostream* os) { *os << encoding.mName; }

// Creates a field file whose main section write() fills; fails with the error text.
inline testing::AssertionResult WriteZeq(const std::string& path, const Encoding& encoding,
                                         const std::function<void(KZeq&)>& write, int version = 6000) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = version;
    KZeq z;
    if (!z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted, &header))
        return testing::AssertionFailure() << "create: " << z.GetLastErrorString();
    write(z);
    if (z.GetLastErrorID() != -1 || !z.ProjectClose())
        return testing::AssertionFailure() << "write: " << z.GetLastErrorString();
    return testing::AssertionSuccess();
}

// Writes a value by the writer of its type: a vector as an array, a pointer as text.
template <class T>
void PutValue(KZeq& z, const T& v) {
    if constexpr (std::is_same_v<T, int>) z.FieldWriteI(v);
    else if constexpr (std::is_same_v<T, kLongLong>) z.FieldWriteL(v);
    else if constexpr (std::is_same_v<T, double>) z.FieldWriteD(v);
    else if constexpr (std::is_same_v<T, char>) z.FieldWriteCH(v);
    else if constexpr (std::is_same_v<T, std::string>) z.FieldWriteC(v.data(), v.size());
    else if constexpr (std::is_same_v<T, std::vector<double>>) z.FieldWriteDn(v.data(), static_cast<int>(v.size()));
    else if constexpr (std::is_same_v<T, std::vector<float>>) z.FieldWriteFn(v.data(), static_cast<int>(v.size()));
    else if constexpr (std::is_same_v<T, std::vector<int>>) z.FieldWriteIn(v.data(), static_cast<int>(v.size()));
    else if constexpr (std::is_same_v<T, std::vector<kLongLong>>) z.FieldWriteLn(v.data(), static_cast<int>(v.size()));
    else z.FieldWriteC(v);
}
template <class... Values>
void PutValues(KZeq& z, const Values&... values) { (PutValue(z, values), ...); }
// A field: its name, then its values.
template <class... Values>
void Put(KZeq& z, const char* name, const Values&... values) {
    z.FieldWriteBegin(name);
    PutValues(z, values...);
}

// A main section with one "Model" and an extension section per summary text.
inline void WriteScene(const std::string& path, const Encoding& encoding, std::initializer_list<const char*> summaries,
                       const char* model = "Model::Cube") {
    ASSERT_TRUE(WriteZeq(path, encoding, [&](KZeq& z) {
        Put(z, "Model", model);
        ASSERT_TRUE(z.ProjectCloseSection());
        for (const char* summary : summaries) {
            ASSERT_TRUE(z.ProjectCreateExtensionSection(false));
            Put(z, "Summary", summary);
            ASSERT_TRUE(z.ProjectCloseSection());
        }
    }));
}

// The summary texts of the extension sections, in order.
inline std::vector<std::string> Summaries(KZeq& z) {
    std::vector<std::string> texts;
    for (int i = 0; i < z.ProjectGetExtensionSectionCount(); ++i) {
        EXPECT_TRUE(z.ProjectOpenExtensionSection(i) && z.ProjectGetCurrentSectionIndex() == i + 1);
        texts.push_back(Str(z.FieldReadC("Summary", "")));
        EXPECT_TRUE(z.ProjectCloseSection());
    }
    return texts;
}

// The error a file of these bytes fails to open with (its main section opened); -1 when it opens.
inline int OpenError(const std::string& path, const std::string& bytes) {
    WriteFile(path, bytes);
    KZeq z;
    return z.ProjectOpen(path.c_str(), false, true) ? -1 : z.GetLastErrorID();
}

// Up to count values of the next field of that name (of the open field when name
// is null), read by the array reader of T.
template <class T>
std::vector<T> ReadValues(KZeq& z, const char* name, std::size_t count) {
    std::vector<T> out(count);
    if (name && !z.FieldReadBegin(name)) return {};
    const int n = static_cast<int>(count);
    int read = 0;
    if constexpr (std::is_same_v<T, double>) read = z.FieldReadDn(out.data(), n);
    if constexpr (std::is_same_v<T, float>) read = z.FieldReadFn(out.data(), n);
    if constexpr (std::is_same_v<T, int>) read = z.FieldReadIn(out.data(), n);
    if constexpr (std::is_same_v<T, kLongLong>) read = z.FieldReadLn(out.data(), n);
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
           Bytes(zeqdetail::Crc32(0, bytes.data(), bytes.size())) + std::string(16 + 32, '\0');
}

}  // namespace zeqtest

#endif
