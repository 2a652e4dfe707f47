// The road of a motion-capture file into the host: the SDK reads the shared sample file, writes it as
// a binary Zeq file, and ZEQImport brings that into the stand-in; every joint's world position in
// the host must match the SDK's own evaluation across the take.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "importtest_support.h"

#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "formats/kzeqformats.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "tulo.h"

using namespace zeqsdk_400;

namespace {

constexpr double kToleranceCm = 0.01;
constexpr int kSampleCount = 8;

struct RoadCase {
    std::string name;      // the test's name
    std::string format;    // the sample directory
    std::string file;      // the motion file
    std::string skeleton;  // the skeleton file of an AMC motion, else ""
};

void PrintTo(const RoadCase& road, std::ostream* out) { *out << road.file; }

std::string TestName(const std::string& file) {
    std::string name = file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::string Stem(const std::string& file) { return file.substr(0, file.rfind('.')); }

// Every shared BVH and HTR file, and every AMC motion with the skeleton whose name is the longest
// start of its own (charleston1.amc goes with charleston.asf).
std::vector<RoadCase> RoadCases() {
    std::vector<RoadCase> cases;
    for (const char* format : {"bvh", "htr"})
        for (const std::string& file : zeqmotiontest::TestDataFiles(format, format))
            cases.push_back({TestName(file), format, file, ""});
    const std::vector<std::string> skeletons = zeqmotiontest::TestDataFiles("asf-amc", "asf");
    for (const std::string& motion : zeqmotiontest::TestDataFiles("asf-amc", "amc")) {
        std::string best;
        for (const std::string& skeleton : skeletons)
            if (Stem(motion).rfind(Stem(skeleton), 0) == 0 && Stem(skeleton).size() > Stem(best).size())
                best = skeleton;
        if (!best.empty()) cases.push_back({TestName(motion), "asf-amc", motion, best});
    }
    return cases;
}

// The host transform of each node below `node`.
struct Pair {
    KZeqNode* node;
    TDagPath path;
};

void MatchChildren(KZeqNode* node, const TDagPath& host, std::vector<Pair>& pairs, std::string& trouble) {
    // Transforms only (shapes are no nodes of the file), less the default cameras of the world.
    std::vector<TDagPath> transforms;
    for (unsigned i = 0; i < host.childCount(); ++i) {
        const TObject object = host.child(i);
        if (!object.hasFn(TFn::kTransform)) continue;
        const std::string name = TFnDependencyNode(object).name().asChar();
        if (host.empty() && (name == "persp" || name == "top" || name == "front" || name == "side")) continue;
        TDagPath child = host;
        child.push(object);
        transforms.push_back(child);
    }
    // The import need not keep the order of siblings: they are matched by name.
    for (int i = 0; i < node->GetChildCount(); ++i) {
        KZeqNode* child = node->GetChild(i);
        // The host's names take letters, digits, "_" and ":" alone.
        std::string name = child->GetNameWithoutNameSpacePrefix().Buffer();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != ':') c = '_';
        auto found = std::find_if(transforms.begin(), transforms.end(), [&](const TDagPath& path) {
            return name == TFnDependencyNode(path.node()).name().asChar();
        });
        if (found == transforms.end()) {
            trouble += name + " is not in the host under " + TFnDagNode(host).fullPathName().asChar() + "\n";
            continue;
        }
        pairs.push_back({child, *found});
        MatchChildren(child, *found, pairs, trouble);
    }
}

class MotionRoadTest : public ZeqTuloImportTest {
protected:
    void TearDown() override {
        if (mOptions) mOptions->Destroy();
        mManager.DestroyKZeqScene(mScene, true);
        ZeqTuloImportTest::TearDown();
    }

    // The skeleton, then the motion with the skeleton's options: frames and start from the motion
    // file, 120 frames a second (the files state no rate).
    bool ReadAcclaim(const std::string& skeleton, const std::string& motion, std::string& error) {
        ZeqRegisterFormats();
        {
            KZeqImporter importer(mManager);
            importer.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
            importer.Initialize(skeleton.c_str());
            mOptions = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
            if (!mOptions || !importer.Import(*mScene, mOptions)) return error = importer.GetLastErrorString(), false;
        }
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        importer.Initialize(motion.c_str());
        mOptions->SetTimeMode(KTime::eModeDefault, 120.0);
        if (KStreamOptions* read = importer.GetImportOptions()) {
            auto* own = static_cast<KStreamOptionsMotion*>(read);
            const long long first = own->GetStart().Get() / own->GetFramePeriod().Get();
            mOptions->SetFrameCount(own->GetFrameCount());
            mOptions->SetStart(mOptions->GetFramePeriod() * static_cast<int>(first));
            read->Destroy();
        }
        if (importer.Import(*mScene, mOptions)) return true;
        error = importer.GetLastErrorString();
        return false;
    }

    // mScene through a binary Zeq file into the host, its first take.
    void Import() {
        const std::string zeq = mDirectory + "road.zeq";
        KZeqExporter exporter(mManager);
        ASSERT_TRUE(exporter.Initialize(zeq.c_str()));
        exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
        ASSERT_TRUE(exporter.Export(*mScene)) << exporter.GetLastErrorString();
        ASSERT_TRUE(Run("ZEQImport -f \"" + zeq + "\" -take 0"));
    }

    // The largest distance, on any axis, between a node's world position in the host and in the
    // SDK's evaluation, over evenly spaced times of the current take from its start to its stop;
    // where it was, and what did not match.
    double WorstError(std::string& where, std::string& trouble, std::size_t& count) {
        std::vector<Pair> pairs;
        MatchChildren(mScene->GetRootNode(), TDagPath(), pairs, trouble);
        count = pairs.size();
        const KZeqTakeInfo* take = mScene->GetTakeInfo(mScene->GetCurrentTakeName());
        if (!take || pairs.empty()) return trouble += "no take or no node\n", 0.0;
        const KTime start = take->mLocalTimeSpan.GetStart(), stop = take->mLocalTimeSpan.GetStop();
        double worst = 0.0;
        for (int k = 0; k < kSampleCount; ++k) {
            const KTime time = k == kSampleCount - 1 ? stop : start + KTime((stop - start).Get() / (kSampleCount - 1) * k);
            if (!TAnimControl::setCurrentTime(TTime(time.GetSecondDouble(), TTime::kSeconds))) trouble += "time\n";
            for (const Pair& pair : pairs) {
                const KZeqVector4 expected = pair.node->GetGlobalFromCurrentTake(time).GetT();
                const TMatrix host = pair.path.inclusiveMatrix();
                for (int axis = 0; axis < 3; ++axis) {
                    const double error = std::fabs(host[3][axis] - expected[axis]);
                    if (!(error <= worst)) {
                        worst = error;
                        where = std::string(pair.node->GetName()) + " at " + std::to_string(time.GetSecondDouble()) +
                                " s";
                    }
                }
            }
        }
        return worst;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KStreamOptionsMotion* mOptions = nullptr;
};

class MotionRoad : public MotionRoadTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(MotionRoad, JointsLandWhereTheSdkPutsThem) {
    const RoadCase& road = GetParam();
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, road.format.c_str());
    std::string error;
    const int row = road.format == "bvh" ? KZeqImporter::eBIOVISION_BVH : KZeqImporter::eMOTION_ANALYSIS_HTR;
    const bool read = road.skeleton.empty()
                          ? zeqmotiontest::ImportMotion(mManager, *mScene, row, dir + "/" + road.file, nullptr, &error)
                          : ReadAcclaim(dir + "/" + road.skeleton, dir + "/" + road.file, error);
    ASSERT_TRUE(read) << road.file << ": " << error;
    Import();
    std::string where, trouble;
    std::size_t count = 0;
    const double worst = WorstError(where, trouble, count);
    ASSERT_TRUE(trouble.empty()) << trouble;
    std::printf("[ road     ] %s: %zu joints, largest error %.3g cm (%s)\n", road.file.c_str(), count, worst,
                where.c_str());
    EXPECT_LE(worst, kToleranceCm) << "at " << where;
}

INSTANTIATE_TEST_SUITE_P(Samples, MotionRoad, ::testing::ValuesIn(RoadCases()),
                         [](const ::testing::TestParamInfo<RoadCase>& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MotionRoad);

// A take wholly after the host's range (24.375 s to 26.05 s, the new scene's is 0 to 1 s): both
// bounds land, and the markers with them.
TEST_F(MotionRoadTest, MarkersOfALateTakeBringTheirRange) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "c3d");
    std::string error;
    ASSERT_TRUE(zeqmotiontest::ImportMotion(mManager, *mScene, KZeqImporter::eVICON_C3D,
                                            dir + "/HDM_dg_06-03_03_120.c3d", nullptr, &error))
        << error;
    Import();
    EXPECT_NEAR(TAnimControl::minTime().as(TTime::kSeconds), 24.375, 1e-6);
    EXPECT_NEAR(TAnimControl::maxTime().as(TTime::kSeconds), 26.05, 1e-6);
    std::string where, trouble;
    std::size_t count = 0;
    const double worst = WorstError(where, trouble, count);
    ASSERT_TRUE(trouble.empty()) << trouble;
    EXPECT_LE(worst, kToleranceCm) << "at " << where;
}

}  // namespace
