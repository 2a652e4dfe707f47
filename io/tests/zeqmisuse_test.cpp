// Zeq files under damage and misuse: a protected file whose "Summary" is gone,
// defaults set on attributes before they are attached, texture files that do
// not exist here, and exports that must leave the caller's scene as it was.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "object/kproperty.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct MisuseTest : ::testing::TestWithParam<ZeqFileCase> {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

std::uint64_t Load64(const std::string& bytes, std::size_t at) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// The "Summary" made unreadable: in a binary file a byte of its extension
// section flipped (its checksum fails); in an ASCII file the section cut off
// ("missing") or its field renamed ("damaged").
void DamageSummary(const std::string& path, int mode, bool cut) {
    std::string bytes = zeqtest::ReadFile(path);
    if (mode == 0) {
        const std::size_t second = bytes.find("@Section:", bytes.find("@Section:") + 1);
        ASSERT_NE(std::string::npos, second);
        if (cut) {
            bytes = bytes.substr(0, second) + "@End\n";
        } else {
            const std::size_t summary = bytes.find("Summary:", second);
            ASSERT_NE(std::string::npos, summary);
            bytes[summary + 6] = 'x';
        }
    } else {
        // The current section table: the slot with the higher sequence.
        const std::size_t slot = Load64(bytes, 32 + 16) >> 32 > Load64(bytes, 56 + 16) >> 32 ? 32 : 56;
        const std::size_t table = static_cast<std::size_t>(Load64(bytes, slot));
        ASSERT_EQ(0, bytes.compare(table, 4, "ZQTB"));
        const std::size_t entry = table + 8 + 96;  // extension section 1
        const std::size_t offset = static_cast<std::size_t>(Load64(bytes, entry));
        const std::size_t length = static_cast<std::size_t>(Load64(bytes, entry + 8));
        ASSERT_LT(offset + length, bytes.size());
        bytes[offset + length / 2] ^= 0x20;
    }
    zeqtest::WriteFile(path, bytes);
}

}  // namespace

// A protected file whose "Summary" cannot be read imports with every take
// when the password is right (the options then come from the main section,
// unlocked), and not at all when it is wrong.
TEST_P(MisuseTest, ProtectedFileWithoutItsSummaryKeepsItsTakes) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);
    for (bool cut : {false, true}) {
        if (cut && form.mMode != 0) continue;  // only text files can lose the section whole
        for (const char* password : {"", "pw"}) {
            SCOPED_TRACE(std::string(cut ? "missing" : "damaged") + " '" + password + "'");
            const std::string path = mDir / "protected.zeq";
            std::string error;
            ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, password, &error)) << error;
            DamageSummary(path, form.mMode, cut);
            for (int pass = 0; pass < 2; ++pass) {  // a binary file takes a new "Summary" back
                KZeqScene* read = ReadZeqFile(mManager, path, password, &error);
                ASSERT_NE(nullptr, read) << error;
                EXPECT_TRUE(read->GetTakeInfo(KString("Walk")) && read->GetTakeInfo(KString("Run")));
                EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
            }
            if (*password) {
                EXPECT_EQ(nullptr, ReadZeqFile(mManager, path, "wrong", &error));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, MisuseTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);
