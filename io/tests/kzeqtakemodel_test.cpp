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
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakemodel_scene.h"
#include "scene/tests/kfiletakemodel_support.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using namespace zeqtest;
using namespace zeqiotest;

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

// Reads files of generated takes, with the bake or without.
// Every other seed a skeleton of one chain, so that nodes deep down sit below many warps; warps
// that start late or hold one key among the others.
ModelOptions ReadOptions(unsigned seed) {
    ModelOptions options;
    options.mChain = seed % 2 == 0;
    options.mLateWarps = true;
    return options;
}

// Warps on channels as files hold them, late ones and one of one key besides; every third seed a chain.
ModelOptions RoundTripOptions(unsigned seed) {
    ModelOptions options;
    options.mChain = seed % 3 == 0;
    options.mChannelWarpsInFiles = true;
    options.mLateWarps = true;
    return options;
}

class TakeModelFiles {
protected:
    // The file's scene read with the bake as asked; null with a failure.
    KZeqScene* Read(const std::string& path, bool bake) {
        std::string error;
        KZeqScene* scene = ReadZeqFileMerging(mManager, path, bake, &error);
        if (!scene) ADD_FAILURE() << "not read: " << path << ": " << error;
        return scene;
    }

    TempDir mDir;
    KZeqSdkManager mManager;
};

class TakeModelReadTest : public TakeModelFiles, public ::testing::TestWithParam<unsigned> {};

TEST_P(TakeModelReadTest, EveryNodeWhereTheTakePutsItWithTheBakeAndWithout) {
    ModelGenerator generator(GetParam());
    const ModelTake take = generator.Take(ReadOptions(GetParam()));
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

// The kinds of those listed that the takes of seeds 1 to seeds, generated with options(seed), miss.
std::string MissedKinds(unsigned seeds, ModelOptions (*options)(unsigned), std::initializer_list<const char*> kinds) {
    std::map<std::string, int> reached;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        ModelGenerator generator(seed);
        for (const std::string& kind : ModelKinds(generator.Take(options(seed)))) ++reached[kind];
    }
    std::string missed;
    for (const char* kind : kinds)
        if (!reached.count(kind)) missed += std::string("\"") + kind + "\" ";
    return missed;
}

TEST(TakeModelGeneratorTest, TheSeedsReachEveryKind) {
    EXPECT_EQ(MissedKinds(kSeeds, ReadOptions,
                          {"warped transform", "warp starting late", "warp of one key",
                           "kink off the grid where the take moves", "warped translation", "warped rotation", "warped scaling",
                           "warped translation (on a channel)", "warped rotation (on a channel)", "composed warps",
                           "two layers", "translation layer of 1", "translation layer of 2", "translation layer of 3",
                           "rotation layer of 1", "rotation layer of 2", "rotation layer of 3", "scaling layer of 1",
                           "scaling layer of 3", "constant layer", "constant layer over a vector without keys",
                           "layer under a warp", "key at 24 a second", "key off the grid", "order 0", "order 5",
                           "order 6"}),
              "");
}

// ---- Through the writers ------------------------------------------------------------------------

const unsigned kRoundTripSeeds = 10;

void ExpectNear(const Mat4& want, const KZeqXMatrix& got, double tolerance, const std::string& what) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(want[r][c], got.mData[r][c], tolerance * std::max(1.0, std::fabs(want[r][c])))
                << what << ", [" << r << "][" << c << "]";
}

Mat4 Placement(const KZeqXMatrix& m) {
    Mat4 out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r][c] = m.mData[r][c];
    return out;
}

// The take's nodes of a scene read, on "Take 001".
std::vector<KZeqNode*> TakeNodes(KZeqScene& scene, const ModelTake& take) {
    std::vector<KZeqNode*> nodes;
    for (const ModelNode& n : take.mNodes) {
        KZeqNode* node = scene.GetRootNode()->FindChild(n.mName.c_str(), true);
        EXPECT_TRUE(node && node->SetCurrentTakeNode("Take 001")) << n.mName;
        nodes.push_back(node);
    }
    return nodes;
}

// What the take's "Transform" channels give at a time, layers and warps with them: the take's
// evaluation, whatever node properties a form keeps.
std::vector<double> TransformRun(KZeqNode& node, KTime time) {
    KFCurveNode* transform = node.GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Transform");
    if (!transform) return {};
    std::vector<double> run(static_cast<std::size_t>(transform->GetChannelCount()));
    run.resize(static_cast<std::size_t>(transform->GeneralEvaluate(run.data(), time) - run.data()));
    return run;
}

class TakeWarpsThroughTheWritersTest : public TakeModelFiles, public ::testing::TestWithParam<ZeqFileCase> {};

// Takes with warps on the whole transform, on vectors and on their axis channels as files hold them
// (one and two a vector, composed, of one key, starting late), read as the SDK reads by default
// (without the bake), written in the test's form and read again: every node plays as the take
// means and as before, at its keys, between them on the 1/30 s grid and off it, and past the ends;
// a second write and read changes nothing. Read with the bake, the written file plays the same
// where the bake is exact, so that channels' warps mean one thing to the evaluation and the bake.
TEST_P(TakeWarpsThroughTheWritersTest, EveryNodePlaysAsBeforeAndASecondTripChangesNothing) {
    const ZeqFileCase& form = GetParam();
    for (unsigned seed = 1; seed <= kRoundTripSeeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ModelGenerator generator(seed);
        const ModelTake take = generator.Take(RoundTripOptions(seed));
        const std::string source = mDir / "source.zeq", first = mDir / "first.zeq", second = mDir / "second.zeq";
        zeqiotest::MakeZeqFile(source, 6000, 0, ModelSceneFields(take));
        KZeqScene* read = Read(source, false);
        ASSERT_NE(nullptr, read);
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mManager, *read, form, first, "", &error)) << error;
        KZeqScene* again = Read(first, false);
        KZeqScene* baked = Read(first, true);
        ASSERT_TRUE(again && baked);
        const std::vector<KZeqNode*> before = TakeNodes(*read, take), after = TakeNodes(*again, take),
                                     plain = TakeNodes(*baked, take);
        // A 5.8 file keeps no rotation order or pre-rotation: there the take's channels are compared.
        const bool placements = (form.mLosses & eZeqLosesPropertyBlock) == 0;
        for (std::size_t i = 0; i < take.mNodes.size(); ++i) {
            ASSERT_TRUE(before[i] && after[i] && plain[i]);
            EXPECT_FALSE(HoldsLayerOrWarp(*plain[i]->GetCurrentTakeNode()->GetKFCurveNode()));
            const std::string name = take.mNodes[i].mName;
            for (double t : take.CheckTimes(i, false)) {
                KTime time;
                time.SetSecondDouble(t);
                const std::string at = name + " at " + std::to_string(t) + " s";
                const KZeqXMatrix was = before[i]->EvaluateGlobalTransform(time);
                ExpectNear(take.World(i, t), was, 2e-4, "read: " + at);
                if (placements) ExpectNear(Placement(was), after[i]->EvaluateGlobalTransform(time), 1e-9, "written and read: " + at);
                const std::vector<double> run = TransformRun(*before[i], time), written = TransformRun(*after[i], time);
                ASSERT_EQ(run.size(), written.size()) << at;
                for (std::size_t v = 0; v < run.size(); ++v)
                    ASSERT_NEAR(run[v], written[v], 1e-9 * std::max(1.0, std::fabs(run[v]))) << "written and read: " << at << ", value " << v;
            }
            // The bake and the evaluation of the same file agree where the bake is exact.
            for (double t : take.CheckTimes(i, true)) {
                KTime time;
                time.SetSecondDouble(t);
                ExpectNear(Placement(after[i]->EvaluateGlobalTransform(time)), plain[i]->EvaluateGlobalTransform(time),
                           2e-4, "read with the bake: " + name + " at " + std::to_string(t) + " s");
            }
        }
        ASSERT_TRUE(WriteZeqFile(mManager, *again, form, second, "", &error)) << error;
        KZeqScene* third = Read(second, false);
        ASSERT_NE(nullptr, third);
        EXPECT_EQ("", CompareScenes(*again, *third, form.mLosses).Report());
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, TakeWarpsThroughTheWritersTest, ::testing::ValuesIn(zeqiotest::kZeqFileCases),
                         zeqiotest::ZeqFileCaseName);

TEST(TakeModelGeneratorTest, TheRoundTripSeedsReachEveryWarp) {
    EXPECT_EQ(MissedKinds(kRoundTripSeeds, RoundTripOptions,
                          {"warped transform", "warped translation", "warped rotation", "warped scaling",
                           "composed warps", "warped translation (on a channel)", "warped rotation (on a channel)",
                           "vector warp on channels", "vector warp on it and a channel", "channel warp",
                           "two channel warps", "channel warp under its vector's", "warp of one key",
                           "warp starting late", "layer under a warp", "key off the grid"}),
              "");
}

}  // namespace
