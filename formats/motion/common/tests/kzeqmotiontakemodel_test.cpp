// Skeletons whose take holds layers and time warps in the arrangements files hold
// (kfiletakemodel_support.h), read from a Zeq file with the bake of layers and warps and without
// it, then written through every motion writer that keeps each joint's translation and read back:
// every joint at every frame (30 a second, as long as the longest warp plays) where the take puts
// it, worked out apart from the SDK. The writers play the take as the SDK's evaluation does, and a
// baked take plays alone what the layers and warps played.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/tests/kfiletakemodel_support.h"

namespace zeqmotionwriters {
namespace {

using namespace zeqtest;

constexpr double kRate = 30.0;
constexpr int kFrames = 91;  // 0 to 3 s: the longest warp plays to 3 s
const unsigned kSeeds = 8;

ModelTake Generate(unsigned seed) {
    ModelGenerator generator(seed);
    ModelOptions options;
    options.mNodes = 3 + static_cast<int>(seed % 3);
    options.mKinds = {eModelJoint};
    options.mChain = true;
    return generator.Take(options);
}

class MotionTakeModelWrite : public testing::TestWithParam<unsigned> {
protected:
    KZeqScene* Read(const std::string& path, bool bake) {
        KZeqImporter importer(mManager);
        auto* options =
            importer.Initialize(path.c_str()) ? static_cast<KStreamOptionsZeq*>(importer.GetImportOptions()) : nullptr;
        if (!options) return nullptr;
        options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, bake);
        KZeqScene* scene = mManager.CreateKZeqScene();
        const bool read = importer.Import(*scene, options);
        importer.ReleaseImportOptions(options);
        return read ? scene : nullptr;
    }

    KZeqSdkManager mManager;
    zeqmotiontest::MotionTempDir mDir;
};

TEST_P(MotionTakeModelWrite, EveryJointWhereTheTakePutsItWithTheBakeAndWithout) {
    const ModelTake take = Generate(GetParam());
    const std::string path = mDir / "take.zeq";
    zeqiotest::MakeZeqFile(path, 6000, 0, ModelSceneFields(take));
    double size = 1.0;
    for (int f = 0; f < kFrames; ++f)
        for (std::size_t j = 0; j < take.mNodes.size(); ++j)
            for (int a = 0; a < 3; ++a) size = std::max(size, std::fabs(take.World(j, f / kRate)[3][a]));
    for (bool bake : {false, true}) {
        SCOPED_TRACE(bake ? "baked" : "not baked");
        KZeqScene* scene = Read(path, bake);
        ASSERT_NE(nullptr, scene);
        scene->SetCurrentTake("Take 001");
        // The writers write the selected skeleton.
        for (const ModelNode& n : take.mNodes) {
            KZeqNode* node = scene->GetRootNode()->FindChild(n.mName.c_str(), true);
            ASSERT_NE(nullptr, node) << n.mName;
            node->SetSelected(true);
        }
        const std::string directory = mDir / (bake ? "baked" : "layered");
        ASSERT_TRUE(std::filesystem::create_directory(directory));
        Writers writers(mManager, directory);
        std::map<std::string, Output> out;
        std::string error;
        ASSERT_TRUE(writers.WriteAll(*scene, kFrames, kRate, KTime(), out, error)) << error;
        for (const Way& way : Ways()) {
            // BVH without translation channels and ASF hold one offset a joint, and say so.
            const std::string name = way.mName;
            if (name == "bvh" || name == "asf") continue;
            KZeqScene* back = mManager.CreateKZeqScene();
            ASSERT_TRUE(ReadWritten(mManager, *back, name, out, kFrames, kRate, error)) << name << ": " << error;
            for (std::size_t j = 0; j < take.mNodes.size(); ++j) {
                const ModelNode& n = take.mNodes[j];
                KZeqNode* node = FindWritten(*back, name, n.mName, j == 0,
                                             j > 0 ? take.mNodes[j - 1].mName : "", static_cast<int>(j));
                ASSERT_NE(nullptr, node) << name << ": " << n.mName;
                for (int f = 0; f < kFrames; ++f) {
                    KTime time;
                    time.SetSecondDouble(f / kRate);
                    const KZeqVector4 got = node->GetGlobalFromCurrentTake(time).GetT();
                    const Mat4 want = take.World(j, f / kRate);
                    for (int a = 0; a < 3; ++a)
                        ASSERT_NEAR(want[3][a], got[a], 1e-4 * size)
                            << name << ": " << n.mName << " (order " << n.mOrder << ") at frame " << f << " axis " << a;
                }
            }
            mManager.DestroyKZeqScene(back, true);
        }
        mManager.DestroyKZeqScene(scene, true);
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, MotionTakeModelWrite, testing::Range(1u, 1u + kSeeds),
                         [](const testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace zeqmotionwriters
