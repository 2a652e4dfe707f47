// The HTR reader and writer through the importer and exporter rows: the
// shared sample files, values read by hand, round trips and refused files.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/klib.h"
#include "fcurve/kfcurve.h"
#include "formats/kzeqformats.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"
#include "formats/motion/htr/kzeqwritermotionanalysishtr.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {
namespace {

std::string SampleDir() {
#ifdef ZEQ_TESTDATA_DIR
    const std::string dir = std::string(ZEQ_TESTDATA_DIR) + "/htr";
    if (FILE* f = std::fopen((dir + "/jab.HTR").c_str(), "rb")) {
        std::fclose(f);
        return dir;
    }
#endif
    return std::string();
}

#define REQUIRE_SAMPLES(dir)             \
    const std::string dir = SampleDir(); \
    if (dir.empty()) GTEST_SKIP() << "sample files of htr not found (ZEQ_TESTDATA_DIR)"

int CountNodes(KZeqNode* node) {
    int count = 1;
    for (int i = 0; i < node->GetChildCount(); ++i) count += CountNodes(node->GetChild(i));
    return count;
}

class HtrIO : public testing::Test {
protected:
    void SetUp() override {
        ZeqRegisterFormats();
        const char* tmp = std::getenv("ZEQ_TEST_TMP");
        mDir = std::string(tmp ? tmp : "/tmp") + "/htr-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        std::system(("mkdir -p '" + mDir + "'").c_str());
    }
    void TearDown() override {
        mManager.DestroyKZeqScene(mScene, true);
        std::system(("rm -rf '" + mDir + "'").c_str());
    }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    bool Import(const std::string& path, const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr) {
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eMOTION_ANALYSIS_HTR);
        importer.Initialize(path.c_str());
        auto* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
        if (!options) {
            mLastError = importer.GetLastErrorID();
            return false;
        }
        if (adjust) adjust(*options);
        const bool ok = importer.Import(*mScene, options);
        mLastError = importer.GetLastErrorID();
        mFrames = options->GetFrameCount();
        mRate = options->GetFrameRate();
        options->Destroy();
        return ok;
    }
    KZeqNode* Find(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    int mLastError = -1;
    int mFrames = 0;
    double mRate = 0.0;
    std::string mDir;
};

struct Sample {
    const char* mFile;
    int mSegments;
    int mFrames;
    double mRate;
    int mNodes;
};

class HtrSamples : public HtrIO, public testing::WithParamInterface<Sample> {};

TEST_P(HtrSamples, ReadAsCounted) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    const bool walk = std::string(s.mFile) == "walk.htr";
    ASSERT_TRUE(Import(dir + "/" + s.mFile, [walk](KStreamOptionsMotion& options) {
        if (walk) options.SetFrameCount(25);
    })) << mLastError;
    KZeqNode* reference = Find("HTR:reference");
    ASSERT_TRUE(reference);
    EXPECT_EQ(CountNodes(reference) - 1, s.mNodes);
    EXPECT_EQ(mFrames, s.mFrames);
    EXPECT_EQ(mRate, s.mRate);
    const std::string take = std::string(s.mFile).substr(0, std::string(s.mFile).rfind('.'));
    EXPECT_EQ(std::string(mScene->GetCurrentTakeName()), take);
    EXPECT_TRUE(KZeqFileMotionAnalysisHtr::RetrieveRestPose(*mScene, "HTR:reference"));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrSamples,
                         testing::Values(Sample{"jab.HTR", 41, 101, 30, 48}, Sample{"run.htr", 81, 17, 30, 109},
                                         Sample{"simple_rig.htr", 6, 3, 60, 7},
                                         Sample{"idle_Take_001.htr", 28, 24, 24, 37},
                                         Sample{"walk.htr", 28, 25, 24, 37}),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             return name.substr(0, name.find_first_of("_."));
                         });

TEST_F(HtrIO, WalkDeclaresMoreFramesThanItHolds) {
    REQUIRE_SAMPLES(dir);
    const int nodes = mManager.GetKZeqNodeCount();
    EXPECT_FALSE(Import(dir + "/walk.htr"));
    EXPECT_EQ(mLastError, 0);
    EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes);
    EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), 0);
}

}  // namespace
}  // namespace zeqsdk_400
