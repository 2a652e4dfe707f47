// The field file when memory runs out: every allocation of a write or a read is made to fail in
// turn. The call that meets it answers false with "out of memory" (nothing is thrown), a write
// leaves the file it was to replace as it was and no temporary beside it (once the new file has
// taken its place, the write stands), and the same object works again afterwards. The counting
// operator new, made to fail, replaces the global one in this program only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/tests/counting_new.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Encoding;

namespace {

// The k-th allocation from now fails (0 the next one).
void Arm(long k) {
    countingnew::gFailed = false;
    countingnew::gFailIn = k;
}
// Disarms; true when an allocation failed since Arm.
bool Disarm() {
    countingnew::gFailIn = -1;
    return countingnew::gFailed.load();
}

std::vector<std::string> Entries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    return names;
}

// Fields of several kinds, one text long enough to leave the body. (What the test itself holds is
// made before any allocation may fail.)
const std::string text(zeqdetail::kChunkBytes + 5, 't');
const std::vector<double> values(300, 0.5);
std::vector<double> read(300);

bool WriteSome(KZeq& z) {
    bool ok = z.FieldWriteBegin("Model") && z.FieldWriteC("Model::Cube") && z.FieldWriteBlockBegin();
    ok = ok && z.FieldWriteBegin("Values") && z.FieldWriteDn(values.data(), 300) && z.FieldWriteEnd();
    ok = ok && z.FieldWriteBegin("Text") && z.FieldWriteC(text.data(), text.size()) && z.FieldWriteEnd();
    return ok && z.FieldWriteBlockEnd() && z.FieldWriteEnd();
}

bool ReadSome(KZeq& z) {
    if (!z.FieldReadBegin("Model") || !(z.FieldReadC() == "Model::Cube") || !z.FieldReadBlockBegin()) return false;
    read[299] = 0;
    if (!z.FieldReadBegin("Values") || z.FieldReadDn(read.data(), 300) != 300 || read[299] != 0.5) return false;
    return z.FieldReadC("Text", "").GetLen() == text.size() && z.FieldReadBlockEnd() && z.GetLastErrorID() == -1;
}

class KZeqOutOfMemory : public testing::TestWithParam<Encoding> {
protected:
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "scene.zeq";
};

TEST_P(KZeqOutOfMemory, AWriteFailsCleanlyAtEveryAllocation) {
    zeqtest::WriteFile(mPath, "the file before");
    KZeq z;
    int failures = 0;
    for (long k = 0;; ++k) {
        Arm(k);
        bool ok = z.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted);
        if (ok) {
            ok = WriteSome(z);
            ok = z.ProjectClose() && ok;
        }
        const int error = z.GetLastErrorID();
        if (!Disarm()) {
            ASSERT_TRUE(ok) << z.GetLastErrorString();
            break;
        }
        ++failures;
        EXPECT_EQ(Entries(mDir.Path()), std::vector<std::string>{"scene.zeq"}) << k;
        if (ok) {
            // Only the tidying after the file took its place met the failure: the write stands.
            KZeq written;
            EXPECT_TRUE(written.ProjectOpen(mPath.c_str(), true, true) && ReadSome(written)) << k;
            zeqtest::WriteFile(mPath, "the file before");
        } else {
            EXPECT_EQ(error, KZeq::eOutOfMemory) << k;
            EXPECT_TRUE(zeqtest::ReadFile(mPath) == "the file before") << k;
        }
        ASSERT_LT(k, 10000);
    }
    EXPECT_GT(failures, 0);
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), true, true)) << z.GetLastErrorString();
    EXPECT_TRUE(ReadSome(z));
}

TEST_P(KZeqOutOfMemory, AReadFailsCleanlyAtEveryAllocation) {
    ASSERT_TRUE(zeqtest::WriteZeq(mPath, GetParam(), [](KZeq& z) { ASSERT_TRUE(WriteSome(z)); }));
    KZeq z;
    int failures = 0;
    for (long k = 0;; ++k) {
        Arm(k);
        bool ok = z.ProjectOpen(mPath.c_str(), true, true);
        const int openError = z.GetLastErrorID();
        ok = ok && ReadSome(z);
        const int error = z.GetLastErrorID();
        z.ProjectClose();
        if (!Disarm()) {
            ASSERT_TRUE(ok) << z.GetLastErrorString();
            break;
        }
        ++failures;
        EXPECT_FALSE(ok) << k;
        // A read that met the failure reports it; one that did not fails its check.
        EXPECT_TRUE(openError == KZeq::eOutOfMemory || error == KZeq::eOutOfMemory || error == -1) << k << " " << error;
        ASSERT_LT(k, 10000);
    }
    EXPECT_GT(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqOutOfMemory, testing::ValuesIn(zeqtest::kEncodings), zeqtest::EncodingName);

}  // namespace
