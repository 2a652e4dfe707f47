// The HTR reader and writer through the importer and exporter rows: the
// shared sample files, values read by hand, round trips and refused files.

#include <gtest/gtest.h>

#include <array>
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
#include "formats/motion/testkit/zeqmotiontestkit.h"
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

// ---- Values read by hand -------------------------------------------------------------------

using Row3 = std::array<std::array<double, 3>, 3>;

// Row-vector rotation of "ZYX" angles: X applied first, then Y, then Z.
Row3 Zyx(double x, double y, double z) {
    const double d = 3.14159265358979323846 / 180.0;
    const double cx = std::cos(x * d), sx = std::sin(x * d), cy = std::cos(y * d), sy = std::sin(y * d),
                 cz = std::cos(z * d), sz = std::sin(z * d);
    const Row3 rx{{{1, 0, 0}, {0, cx, sx}, {0, -sx, cx}}}, ry{{{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}}},
        rz{{{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}}};
    auto mul = [](const Row3& a, const Row3& b) {
        Row3 m{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
        return m;
    };
    return mul(mul(rx, ry), rz);
}

TEST_F(HtrIO, JabJointsWhereTheFileSaysTheyAre) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(Import(dir + "/jab.HTR"));
    struct Frame {
        int mIndex;
        double mHips[6];
        double mSpine[3];
    };
    // Rows 0 and 100 of [Hips] and [Spine]; base positions Hips and Spine.
    const double hipsBase[6] = {10.843260, 822.336530, -12.690015, 97.234374, -43.527032, 174.849775};
    const double spineBase[3] = {4.324737, 0.000000, 146.524372};
    for (const Frame& f : {Frame{0, {0, 0, 0, 0, 0, 0}, {0, 0, 0}},
                           Frame{100, {-0.002528, 0.000194, 0.000385, -0.000066, -0.000006, 0.000018},
                                 {-0.000007, 0.000000, 0.000076}}}) {
        const Row3 frame = Zyx(f.mHips[3], f.mHips[4], f.mHips[5]);
        const Row3 base = Zyx(hipsBase[3], hipsBase[4], hipsBase[5]);
        Row3 world{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) world[i][j] += frame[i][k] * base[k][j];
        double hips[3], spine[3];
        for (int j = 0; j < 3; ++j) hips[j] = (hipsBase[j] + f.mHips[j]) * 0.1;
        for (int j = 0; j < 3; ++j) {
            spine[j] = hips[j];
            for (int k = 0; k < 3; ++k) spine[j] += (spineBase[k] + f.mSpine[k]) * 0.1 * world[k][j];
        }
        KTime time;
        time.SetSecondDouble(f.mIndex / 30.0);
        const KZeqVector4 h = Find("Hips")->GetGlobalFromCurrentTake(time).GetT();
        const KZeqVector4 s = Find("Spine")->GetGlobalFromCurrentTake(time).GetT();
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(h[j], hips[j], 1e-4) << f.mIndex;
            EXPECT_NEAR(s[j], spine[j], 1e-4) << f.mIndex;
        }
    }
}

// ---- Round trips ------------------------------------------------------------------------------

class HtrRoundTrip : public HtrIO {
protected:
    // Writes the skeleton below top over the current take's frames, reads it back into a fresh scene.
    void WriteAndReadBack(KZeqNode* top, int frames, double rate) {
        top->SetSelected(true);
        std::string error;
        ASSERT_TRUE(zeqmotiontest::ExportMotion(mManager, *mScene, KZeqExporter::eMOTION_ANALYSIS_HTR, Path("out.htr"),
                                                [frames, rate](KStreamOptionsMotion& options) {
                                                    options.SetTimeMode(KTime::eModeDefault, rate);
                                                    options.SetFrameCount(frames);
                                                },
                                                &error))
            << error;
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(Import(Path("out.htr"))) << mLastError;
    }
};

class HtrSampleRoundTrip : public HtrRoundTrip, public testing::WithParamInterface<Sample> {};

TEST_P(HtrSampleRoundTrip, WrittenFileReadsBackAlike) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    ASSERT_TRUE(Import(dir + "/" + s.mFile, [&s](KStreamOptionsMotion& options) { options.SetFrameCount(s.mFrames); }));
    KTime period;
    period.SetSecondDouble(1.0 / s.mRate);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, s.mFrames);
    KZeqNode* reference = Find("HTR:reference");
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(reference->GetChild(0), times);
    WriteAndReadBack(reference->GetChild(0), s.mFrames, s.mRate);
    EXPECT_EQ(mFrames, s.mFrames);
    EXPECT_EQ(mRate, s.mRate);
    const zeqmotiontest::MotionSnapshot after =
        zeqmotiontest::SampleMotion(Find("HTR:reference")->GetChild(0), times);
    zeqmotiontest::CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(zeqmotiontest::CompareMotion(before, after, 0.05, parts));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrSampleRoundTrip,
                         testing::Values(Sample{"jab.HTR", 41, 101, 30, 48}, Sample{"run.htr", 81, 17, 30, 109},
                                         Sample{"simple_rig.htr", 6, 3, 60, 7},
                                         Sample{"idle_Take_001.htr", 28, 24, 24, 37},
                                         Sample{"walk.htr", 28, 25, 24, 37}),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             return name.substr(0, name.find_first_of("_."));
                         });

TEST_F(HtrRoundTrip, ABiovisionSkeletonReadsBackAlike) {
    const std::string bvh = zeqmotiontest::TestDataDir("bvh");
    if (bvh.empty()) GTEST_SKIP() << "sample files of bvh not found (ZEQ_TESTDATA_DIR)";
    std::string error;
    ASSERT_TRUE(zeqmotiontest::ImportMotion(mManager, *mScene, KZeqImporter::eBIOVISION_BVH,
                                            bvh + "/cmu_12_01_walk.bvh", nullptr, &error))
        << error;
    const int frames = 40;
    KTime period;
    period.SetSecondDouble(1.0 / 120.0);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, frames);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(Find("Hips"), times);
    WriteAndReadBack(Find("Hips"), frames, 120.0);
    const zeqmotiontest::MotionSnapshot after = zeqmotiontest::SampleMotion(Find("Hips"), times);
    zeqmotiontest::CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(zeqmotiontest::CompareMotion(before, after, 0.05, parts));
}

}  // namespace
}  // namespace zeqsdk_400
