#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TESTS_TOOLKIT_TEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TESTS_TOOLKIT_TEST_SUPPORT_H

// Helpers of the toolkit tests: a fresh directory per test, chunk bytes built by
// hand, databases opened from bytes, and a fixture that leaves the toolkit's
// global state (error stack, open files) clean between tests.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/scratch_root.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"

namespace tk3dstest {

using namespace zeqsdk_400;

class TempDir {
public:
    TempDir() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("3ds-") + (info ? info->name() : "");
        std::replace(name.begin(), name.end(), '/', '_');
        mPath = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), name);
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

// Little-endian bytes.
inline std::string U8(std::uint8_t v) { return std::string(1, static_cast<char>(v)); }
inline std::string U16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)) + U16(static_cast<std::uint16_t>(v >> 16)); }
inline std::string F32(float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    return U32(v);
}
inline std::string Z(const std::string& s) { return s + std::string(1, '\0'); }

// A chunk: header with the length of everything, then body.
inline std::string Chunk(std::uint16_t tag, const std::string& body) {
    return U16(tag) + U32(static_cast<std::uint32_t>(body.size() + 6)) + body;
}

// The names a name-list getter gives for db, the list released.
inline std::vector<std::string> Listed(void (*get)(database3ds*, namelist3ds**), database3ds* db) {
    namelist3ds* list = nullptr;
    get(db, &list);
    std::vector<std::string> names;
    for (std::uint32_t i = 0; list && i < list->count; ++i) names.push_back(list->list[i] ? list->list[i] : "(null)");
    ReleaseNameList3ds(&list);
    return names;
}

// The sample files of other producers, or "" when the directory is missing.
inline std::string SampleDir() {
#ifdef ZEQ_TESTDATA_DIR
    const std::string dir = std::string(ZEQ_TESTDATA_DIR) + "/3ds";
    if (std::filesystem::is_directory(dir)) return dir;
#endif
    return "";
}

inline const std::vector<std::string>& SampleNames() {
    static const std::vector<std::string> names = {"fels.3ds",        "jeep1.3ds",          "test1.3ds",
                                                   "cubes_with_alpha.3DS", "RotatingCube.3DS", "TargetCameraAnim.3ds"};
    return names;
}

#define SKIP_WITHOUT_SAMPLES()                                                                        \
    do {                                                                                              \
        if (tk3dstest::SampleDir().empty()) GTEST_SKIP() << "sample files (ZEQ_TESTDATA_DIR/3ds) not found"; \
    } while (0)

// Leaves the toolkit's global state clean around each test.
class ToolkitTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        for (database3ds*& db : mDatabases) ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
        Reset();
    }
    static void Reset() {
        ClearErrList3ds();
        ignoretoolkiterr3ds = 0;
    }
    static std::int32_t FirstError() { return ReturnErrorList3ds()[0].code; }
    static std::vector<std::int32_t> Errors() {
        std::vector<std::int32_t> codes;
        for (const errorentry3ds* e = ReturnErrorList3ds(); e->code; ++e) codes.push_back(e->code);
        return codes;
    }

    // A database read from a file holding `bytes`; the file stays open.
    database3ds* Open(const std::string& bytes, const std::string& name = "in.3ds") {
        const std::string path = mDir / name;
        WriteFile(path, bytes);
        return OpenPath(path);
    }
    database3ds* OpenPath(const std::string& path) {
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        mDatabases.push_back(db);
        file3ds* file = OpenFile3ds(path.c_str(), "rb");
        if (file) CreateDatabase3ds(file, db);
        return db;
    }
    database3ds* New(std::int32_t type = 1) {
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        mDatabases.push_back(db);
        CreateNewDatabase3ds(db, type);
        return db;
    }
    // Writes db to a file and returns its bytes.
    std::string Write(database3ds* db, const std::string& name = "out.3ds") {
        const std::string path = mDir / name;
        file3ds* file = OpenFile3ds(path.c_str(), "wb");
        if (!file) return "";
        WriteDatabase3ds(file, db);
        CloseFile3ds(file);
        return ReadFile(path);
    }
    // Writes db and reads it back into a new database.
    database3ds* Reread(database3ds* db, const std::string& name = "round.3ds") {
        Write(db, name);
        return OpenPath(mDir / name);
    }

    TempDir mDir;
    std::vector<database3ds*> mDatabases;
};

}  // namespace tk3dstest

#endif
