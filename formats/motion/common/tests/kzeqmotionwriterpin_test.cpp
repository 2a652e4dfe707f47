// Skeletons without pivots, pre- or post-rotations, rotation offsets or
// rotation orders other than XYZ are written byte for byte as they always
// were: the text of every motion writer's file, hashed, for generated chains
// and the shared sample files.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqtakenode.h"

namespace zeqmotionwriters {
namespace {

using zeqmotiontest::ChainSpec;

struct PinCase {
    const char* mName;
    // Way name to the hash of its text; a way not listed is not pinned.
    std::map<std::string, std::string> mHashes;
};

class MotionWriterPin : public testing::Test {
protected:
    void TearDown() override { mManager.DestroyKZeqScene(mScene, true); }

    // Writes the scene every way and checks each listed hash.
    void Check(const PinCase& pin, int frames, double rate, KTime start = KTime()) {
        Writers writers(mManager, mDir.Path());
        std::map<std::string, Output>& out = mOut;
        std::string error;
        ASSERT_TRUE(writers.WriteAll(*mScene, frames, rate, start, out, error)) << error;
        for (const auto& [way, output] : out) {
            const auto expected = pin.mHashes.find(way);
            if (expected == pin.mHashes.end()) continue;
            EXPECT_EQ(expected->second, Hash(output.mText)) << pin.mName << " " << way << ":\n" << output.mText;
        }
    }
    void SelectAll(KZeqNode* node) {
        node->SetSelected(true);
        for (int i = 0; i < node->GetChildCount(); ++i) SelectAll(node->GetChild(i));
    }
    // The scene read from a shared sample file, the first child of its
    // reference node and all below selected; false when the file is absent.
    bool ImportSample(const char* format, int row, const std::string& file, const char* reference) {
        const std::string dir = zeqmotiontest::TestDataDir(format);
        if (dir.empty()) return false;
        std::string error;
        EXPECT_TRUE(zeqmotiontest::ImportMotion(mManager, *mScene, row, dir + "/" + file, nullptr, &error)) << error;
        KZeqNode* node = mScene->GetRootNode()->FindChild(reference, true);
        EXPECT_TRUE(node && node->GetChildCount() > 0);
        if (node && node->GetChildCount() > 0) SelectAll(node->GetChild(0));
        return true;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    zeqmotiontest::MotionTempDir mDir;
    std::map<std::string, Output> mOut;  // what the last Check wrote
};

const PinCase kForked = {"forked",
                         {{"amc", "2c482f05beb0df7b"},
                          {"aoa", "c6c1db4ac71d88e8"},
                          {"asf", "170f828049709e11"},
                          {"brd", "c93a69ba8164507d"},
                          {"bvh", "2b6f1c532fd44438"},
                          {"bvh-translation", "1cb0971ebd46f333"},
                          {"c3d", "447964c657890d84"},
                          {"htr", "cb1f51572a851906"},
                          {"mcd", "c6c1db4ac71d88e8"},
                          {"mov", "c287f367a6f20268"},
                          {"trc", "f7a7e98e9252c72b"},
                          {"vpm", "b8f08abf208896ad"}}};

// A chain that forks, turning far about every axis, with end sites.
ChainSpec ForkedSpec() {
    ChainSpec spec;
    spec.mBranchJoints = 2;
    spec.mEndSites = true;
    spec.mAmplitude = 170.0;
    return spec;
}

TEST_F(MotionWriterPin, ForkedChainTurningAboutEveryAxis) {
    const ChainSpec spec = ForkedSpec();
    const zeqmotiontest::Chain chain = zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
    SelectAll(chain.Top());
    Check(kForked, spec.mFrames, spec.mRate);
}

// The same chain with pivot set 0 active and rotation on, as a host's joints
// without orients come, but every pivot, offset and extra rotation zero and
// the order XYZ: the same files.
TEST_F(MotionWriterPin, NeutralPivotsChangeNothing) {
    const ChainSpec spec = ForkedSpec();
    const zeqmotiontest::Chain chain = zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
    SelectAll(chain.Top());
    for (KZeqNode* node : chain.mNodes) {
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        node->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_XYZ);
        node->GetPropertyHandler()->RotationActive.Value() = true;
    }
    Check(kForked, spec.mFrames, spec.mRate);
}

TEST_F(MotionWriterPin, MovingScaledChain) {
    ChainSpec spec;
    spec.mJoints = 5;
    spec.mAnimateTranslation = true;
    spec.mRate = 24.0;
    const zeqmotiontest::Chain chain = zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
    SelectAll(chain.Top());
    // Scaled joints: the formats carry scaling into the offsets below.
    KZeqTakeNode* take = chain.mNodes[1]->GetCurrentTakeNode();
    take->GetScaleX()->SetValue(1.5f);
    take->GetScaleY()->SetValue(0.5f);
    take->GetScaleZ()->SetValue(2.0f);
    chain.mNodes[2]->SetDefaultS(KZeqVector4(1.25, 1.25, 1.25, 0.0));
    Check({"moving",
           {{"amc", "343df713a7af4cd5"},
            {"aoa", "4ddb8e85addc740a"},
            {"asf", "017854e6c64ca642"},
            {"brd", "fb8cc02b757d6d90"},
            {"bvh", "8ad7a7423bdc0a62"},
            {"bvh-translation", "73c6977c3b2f0257"},
            {"c3d", "f5b73d4e9bbe92d0"},
            {"htr", "9bca91c976c2bd4a"},
            {"mcd", "4ddb8e85addc740a"},
            {"mov", "b1c11533e4f1fc75"},
            {"trc", "9dc408a5d1b690a6"},
            {"vpm", "7155c70031d8b58d"}}},
          spec.mFrames, spec.mRate);
    // The joints below Joint1 turn under its uneven scaling, which shears them: with translation
    // channels the file still puts every joint where the scene does, at every frame.
    KZeqScene* back = mManager.CreateKZeqScene();
    std::string error;
    ASSERT_TRUE(ReadWritten(mManager, *back, "bvh-translation", mOut, spec.mFrames, spec.mRate, error)) << error;
    for (const KTime time : chain.Times())
        for (KZeqNode* node : chain.mNodes) {
            KZeqNode* read = back->GetRootNode()->FindChild(node->GetName(), true);
            ASSERT_NE(read, nullptr) << node->GetName();
            const KZeqVector4 want = node->GetGlobalFromCurrentTake(time).GetT();
            const KZeqVector4 got = read->GetGlobalFromCurrentTake(time).GetT();
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(got[a], want[a], 1e-3) << node->GetName() << " axis " << a;
        }
    mManager.DestroyKZeqScene(back, true);
}

TEST_F(MotionWriterPin, PosedSkeletonWithoutTakes) {
    // Default values only: the pose every writer writes, AMC included.
    KZeqNode* parent = mScene->GetRootNode();
    KZeqNode* top = nullptr;
    for (int n = 0; n < 4; ++n) {
        KZeqNode* node = mManager.CreateKZeqNode(("Pose" + std::to_string(n)).c_str());
        node->SetDefaultT(KZeqVector4(n == 0 ? 1.0 : 0.5 * n, n == 0 ? 2.0 : 8.0, n == 0 ? 3.0 : -0.25 * n, 0.0));
        node->SetDefaultR(KZeqVector4(10.0 * n, -15.0 + 7.0 * n, 25.0 - 4.0 * n, 0.0));
        parent->AddChild(node);
        parent = node;
        if (!top) top = node;
    }
    SelectAll(top);
    Check({"posed",
           {{"amc", "a8126d83902bbcee"},
            {"aoa", "601f1ed544f0407a"},
            {"asf", "69e7bebec1ab60ba"},
            {"brd", "11b7d54b28991671"},
            {"bvh", "6f227bc053968628"},
            {"bvh-translation", "95dbe34f50479a1e"},
            {"c3d", "6922332d073fc42f"},
            {"htr", "6ab049e6eb05f218"},
            {"mcd", "601f1ed544f0407a"},
            {"mov", "3a3a8c6cbad6c738"},
            {"trc", "6a0af3ae9d30d05d"},
            {"vpm", "b9dfc15610e87eab"}}},
          3, 30.0);
}

TEST_F(MotionWriterPin, BiovisionSample) {
    if (!ImportSample("bvh", KZeqImporter::eBIOVISION_BVH, "cmu_12_01_walk.bvh", "BVH:reference"))
        GTEST_SKIP() << "sample files of bvh not found (ZEQ_TESTDATA_DIR)";
    Check({"bvh sample",
           {{"amc", "c4249d28a0d5cb9f"},
            {"aoa", "01276bfcde703a08"},
            {"asf", "7a8b948f2c6b1e19"},
            {"brd", "9d60e9468f72910d"},
            {"bvh", "85d4f500ba6b6ac6"},
            {"bvh-translation", "c5d25f81e414d76a"},
            {"c3d", "74f7446ab0e15022"},
            {"htr", "9f869770d3a0bfe4"},
            {"mcd", "01276bfcde703a08"},
            {"mov", "33e559ec849ae281"},
            {"trc", "fedf6f243bae41fe"},
            {"vpm", "463e29c92ca0db6e"}}},
          40, 120.0);
}

TEST_F(MotionWriterPin, HtrSample) {
    if (!ImportSample("htr", KZeqImporter::eMOTION_ANALYSIS_HTR, "walk.htr", "HTR:reference"))
        GTEST_SKIP() << "sample files of htr not found (ZEQ_TESTDATA_DIR)";
    Check({"htr sample",
           {{"amc", "aa7acb335317eb87"},
            {"aoa", "542426743d0ad50b"},
            {"asf", "0f5c2d8dd84c4338"},
            {"brd", "658f662b03dc88eb"},
            {"bvh", "12e03edc2cb1a1a0"},
            {"bvh-translation", "76b75a781f17ef63"},
            {"c3d", "4eb51971bed0a4a1"},
            {"htr", "b032cbf4d71db6fc"},
            {"mcd", "542426743d0ad50b"},
            {"mov", "18e0b12b9784888f"},
            {"trc", "a175694930428705"},
            {"vpm", "4697312b141f8213"}}},
          40, 60.0);
}

}  // namespace
}  // namespace zeqmotionwriters
