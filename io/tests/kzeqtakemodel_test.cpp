// Takes with layers and time warps, generated in every arrangement a file holds, read with the bake
// of layers and warps into plain curves and without it: the SDK's evaluation of every node at its
// keys, between them and at the ends against what the take means, worked out apart from the SDK
// (kfiletakemodel_support.h). The bake leaves no layer and no warp behind.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "fcurve/kfcurvenode.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakemodel_scene.h"
#include "scene/tests/kfiletakemodel_support.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using namespace zeqtest;

namespace {

const unsigned kSeeds = 24;

// Each baked vector at the times its own kinks lie (keys of its curves, its layers and the warps
// below the outermost, reached through the warps: off the 1/30 s grid most of them), where the
// node's other vectors need not be exact: translation and scaling as values, rotation as a matrix.
void ExpectVectorsAtTheirKinks(const ModelTake& take, const ModelNode& n, KFCurveNode& tree) {
    static const char* const kVectors[3] = {"T", "R", "S"};
    for (int v = 0; v < 3; ++v) {
        const ModelBakeSpan span = take.Span(n, v);
        KFCurveNode* vector = tree.FindRecursive(kVectors[v]);
        ASSERT_NE(vector, nullptr);
        if (!span.mBaked || span.mConstant) continue;
        for (double t : span.mKinks) {
            if (t <= span.mStart || t >= span.mStop) continue;
            KTime time;
            time.SetSecondDouble(t);
            double got[8];
            ASSERT_EQ(vector->GeneralEvaluate(got, time) - got, 3) << n.mName << " " << kVectors[v];
            const std::string where = n.mName + " " + kVectors[v] + " at " + std::to_string(t) + " s";
            if (v == eModelR) {
                const double angles[3] = {got[0], got[1], got[2]};
                const Mat4 want = take.Rotation(n, t), baked = EulerMatrix(angles, n.mOrder);
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 3; ++c) ASSERT_NEAR(want[r][c], baked[r][c], 2e-4) << where;
            } else {
                const std::array<double, 3> want = take.Vector(n, v, t);
                for (int a = 0; a < 3; ++a)
                    ASSERT_NEAR(want[static_cast<std::size_t>(a)], got[a], 2e-4 * std::max(1.0, std::fabs(got[a]))) << where;
            }
        }
    }
}

class TakeModelReadTest : public ::testing::TestWithParam<unsigned> {
protected:
    // The file's scene read with the bake as asked; null with a failure.
    KZeqScene* Read(const std::string& path, bool bake) {
        KZeqImporter importer(mManager);
        auto* options =
            importer.Initialize(path.c_str()) ? static_cast<KStreamOptionsZeq*>(importer.GetImportOptions()) : nullptr;
        if (!options) {
            ADD_FAILURE() << "no options for " << path;
            return nullptr;
        }
        options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, bake);
        KZeqScene* scene = mManager.CreateKZeqScene();
        const bool read = importer.Import(*scene, options);
        importer.ReleaseImportOptions(options);
        if (!read) {
            ADD_FAILURE() << "not read: " << importer.GetLastErrorString();
            return nullptr;
        }
        return scene;
    }

    TempDir mDir;
    KZeqSdkManager mManager;
};

TEST_P(TakeModelReadTest, EveryNodeWhereTheTakePutsItWithTheBakeAndWithout) {
    ModelGenerator generator(GetParam());
    ModelOptions options;
    // Every other seed a skeleton of one chain, so that nodes deep down sit below many warps.
    options.mChain = GetParam() % 2 == 0;
    const ModelTake take = generator.Take(options);
    const std::string path = mDir / "take.zeq";
    // As text: the key lists are written by hand.
    zeqiotest::MakeZeqFile(path, 6000, 0, ModelSceneFields(take));
    for (bool bake : {false, true}) {
        SCOPED_TRACE(bake ? "baked" : "not baked");
        KZeqScene* scene = Read(path, bake);
        ASSERT_NE(nullptr, scene);
        for (std::size_t i = 0; i < take.mNodes.size(); ++i) {
            const ModelNode& n = take.mNodes[i];
            KZeqNode* node = scene->GetRootNode()->FindChild(n.mName.c_str(), true);
            ASSERT_TRUE(node && node->SetCurrentTakeNode("Take 001")) << n.mName;
            if (bake) {
                EXPECT_FALSE(HoldsLayerOrWarp(*node->GetCurrentTakeNode()->GetKFCurveNode())) << n.mName;
                ExpectVectorsAtTheirKinks(take, n, *node->GetCurrentTakeNode()->GetKFCurveNode());
            }
            for (double t : take.CheckTimes(i, bake)) {
                KTime time;
                time.SetSecondDouble(t);
                const KZeqXMatrix got = node->EvaluateGlobalTransform(time);
                const Mat4 want = take.World(i, t);
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(want[r][c], got.mData[r][c], 2e-4 * std::max(1.0, std::fabs(want[r][c])))
                            << n.mName << " (order " << n.mOrder << ") at " << t << " s, [" << r << "][" << c << "]";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, TakeModelReadTest, ::testing::Range(1u, 1u + kSeeds),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

TEST(TakeModelGeneratorTest, TheSeedsReachEveryKind) {
    std::map<std::string, int> reached;
    for (unsigned seed = 1; seed <= kSeeds; ++seed) {
        ModelGenerator generator(seed);
        ModelOptions options;
        options.mChain = seed % 2 == 0;
        for (const std::string& kind : ModelKinds(generator.Take(options))) ++reached[kind];
    }
    std::string missed;
    for (const char* kind :
         {"warped transform", "warp starting late", "warp of one key", "kink off the grid where the take moves", "warped translation", "warped rotation", "warped scaling",
          "warped translation (on a channel)", "warped rotation (on a channel)", "composed warps", "two layers",
          "translation layer of 1", "translation layer of 2", "translation layer of 3", "rotation layer of 1",
          "rotation layer of 2", "rotation layer of 3", "scaling layer of 1", "scaling layer of 3", "constant layer", "constant layer over a vector without keys",
          "layer under a warp", "key at 24 a second", "key off the grid", "order 0", "order 5", "order 6"})
        if (!reached.count(kind)) missed += std::string("\"") + kind + "\" ";
    EXPECT_EQ(missed, "");
}

}  // namespace
