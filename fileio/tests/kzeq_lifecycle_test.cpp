// The life of a field file on disk: write-backs into a file replaced, shared or
// damaged meanwhile, writers killed midway, and failures that must be reported.

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::Str;
namespace fs = std::filesystem;

namespace {

void WriteMain(const std::string& path, const char* model) { zeqtest::WriteScene(path, zeqtest::kBinary, {}, model); }

// Appends an extension section holding a summary; answers what the commit answered.
bool WriteBack(KZeq& z, const char* summary, bool overwriteLast = false) {
    if (!z.ProjectCreateExtensionSection(overwriteLast)) return false;
    zeqtest::Put(z, "Summary", summary);
    return z.ProjectCloseSection();
}

std::vector<std::string> Summaries(const std::string& path) {
    KZeq z;
    EXPECT_TRUE(z.ProjectOpen(path.c_str())) << z.GetLastErrorString();
    return zeqtest::Summaries(z);
}

class KZeqLifecycle : public testing::Test {
protected:
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "take.zeq";
};

// An object whose file was replaced by a new create of the same name must not
// write its old section table into the new file, before or during its write-back.
TEST_F(KZeqLifecycle, WriteBackRefusesAReplacedFile) {
    WriteMain(mPath, "old");
    for (const bool begunBefore : {false, true}) {
        KZeq stale, z;
        ASSERT_TRUE(stale.ProjectOpen(mPath.c_str()) && (!begunBefore || stale.ProjectCreateExtensionSection()));
        WriteMain(mPath, "new");
        const std::string replaced = ReadFile(mPath);
        if (begunBefore) stale.FieldWriteBegin("Summary");
        EXPECT_FALSE(begunBefore ? stale.ProjectCloseSection() : stale.ProjectCreateExtensionSection());
        EXPECT_TRUE(stale.GetLastErrorID() == KZeq::eOperationNotAllowed && ReadFile(mPath) == replaced);
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
        EXPECT_EQ(Str(z.FieldReadC("Model", "")), "new");
    }
}

// Writers in turn keep every section; a writer meeting one in progress fails
// clearly; replacing "the last section" after another writer added one is refused.
TEST_F(KZeqLifecycle, TwoWritersKeepBothSectionsOrFailClearly) {
    WriteMain(mPath, "m");
    KZeq a, b;
    ASSERT_TRUE(a.ProjectOpen(mPath.c_str()) && b.ProjectOpen(mPath.c_str()));
    ASSERT_TRUE(WriteBack(a, "a1") && WriteBack(b, "b1"));
    ASSERT_TRUE(a.ProjectCreateExtensionSection());
    EXPECT_TRUE(!b.ProjectCreateExtensionSection() && b.GetLastErrorID() == KZeq::eOperationNotAllowed);
    zeqtest::Put(a, "Summary", "a2");
    ASSERT_TRUE(a.ProjectCloseSection());
    b.GetError().ClearLastError();
    EXPECT_FALSE(WriteBack(b, "b2", true));
    EXPECT_EQ(Summaries(mPath), (std::vector<std::string>{"a1", "b1", "a2"}));
    ASSERT_TRUE(WriteBack(a, "a3", true));
    EXPECT_EQ(Summaries(mPath), (std::vector<std::string>{"a1", "b1", "a3"}));
}

// Killed write-backs leave bytes behind; every later write-back starts by
// reclaiming them, so they never add up.
TEST_F(KZeqLifecycle, KilledWriteBacksAreReclaimed) {
    WriteMain(mPath, "m");
    const auto size = [&] { return fs::file_size(mPath); };
    const std::uintmax_t before = size();
    const std::vector<double> big(3 << 17, 1.5);  // three chunks
    for (int kill = 0; kill < 3; ++kill) {
        EXPECT_FALSE(zeqtest::InChild([&] {
            KZeq z;
            if (!z.ProjectOpen(mPath.c_str()) || !z.ProjectCreateExtensionSection()) return false;
            zeqtest::Put(z, "Summary", big);
            return ::raise(SIGKILL) != 0;
        }));
    }
    EXPECT_TRUE(size() > before + big.size() * 8 / 2 && size() < before + 2 * big.size() * 8) << size();
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str()) && WriteBack(z, "good"));
    EXPECT_LT(size(), before + 1000);
    EXPECT_EQ(Summaries(mPath), std::vector<std::string>{"good"});
}

// A writer killed midway, or an export that fails, keeps the old file and its
// data directory, and leaves no temporary behind; a stale temporary of a dead
// writer is removed by the next create, a live writer's is not.
TEST_F(KZeqLifecycle, FailedCreateKeepsTheOldFileAndLeavesNothing) {
    WriteMain(mPath, "old");
    const std::string old = ReadFile(mPath);
    fs::create_directories(mDir.Path() / "take.zqd");
    zeqtest::WriteFile(mDir / "take.zqd/data.bin", "d");
    const std::vector<int> big(1 << 20, 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(zeqtest::InChild([&] {
            KZeq z;
            if (!z.ProjectCreate(mPath.c_str())) return false;
            zeqtest::Put(z, "Model", big);
            return ::raise(SIGKILL) != 0;
        }));
    }
    for (const zeqtest::Encoding& encoding : zeqtest::kEncodings) {
        // An error pending: nothing more is written, and the file is discarded.
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), encoding.mBinary, encoding.mEncrypted));
        z.FieldWriteBegin("Before");
        z.GetError().SetLastErrorID(KZeq::eFileWriteError);
        EXPECT_FALSE(z.FieldWriteBegin("After") || z.FieldWriteI(1) || z.ProjectClose());
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileWriteError);
    }
    // What a writer that died left (its temporary, unchanged for days and held by
    // none) goes; the user's own files of like names stay.
    const std::string stale = "take.zeq.tmp" + std::to_string(::getpid()) + ".00112233aabbccdd",
                      users = "take.zeq.tmp4000000.bak";
    const struct timespec longAgo[2] = {{::time(nullptr) - 7 * 24 * 3600, 0}, {::time(nullptr) - 7 * 24 * 3600, 0}};
    for (const std::string& name : {stale, users}) {
        zeqtest::WriteFile(mDir / name, "x");
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, (mDir / name).c_str(), longAgo, 0));
    }
    EXPECT_TRUE(ReadFile(mPath) == old && fs::exists(mDir.Path() / "take.zqd/data.bin"));
    WriteMain(mPath, "new");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(mDir.Path())) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"take.zeq", users}));
}

}  // namespace
