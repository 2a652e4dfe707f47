// Joints with pre- and post-rotations, rotation offsets and pivots, scaling
// pivots and every rotation order, written through every motion writer that
// places joints and read back with our readers: every joint where the file's
// own transforms put it (evaluated apart from the SDK) at the keys and between
// them, or named by the writer's message as not held.

#include "formats/motion/common/kzeqmotionjoint.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqskeleton.h"
#include "scene/kzeqnodelimits.h"
#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/tests/kfiletransform_scene.h"

namespace zeqmotionwriters {
namespace {

using zeqtest::FileTransformValues;
using Keys = std::vector<std::pair<double, FileTransformValues>>;
using Positions = std::vector<std::vector<std::array<double, 3>>>;  // [frame][joint]

constexpr double kRate = 10.0;
constexpr int kFrames = 21;  // 0 to 2 s: keys at 0, 1 and 2 s, nine frames between each two
constexpr const char* kTake = "Take 001";

// A time between keys and frames.
KTime Between() {
    KTime time;
    time.SetSecondDouble(0.55);
    return time;
}

struct JointCase {
    unsigned mFeatures;  // on the joints that carry them
    int mOrder;
    bool mKeyed;
    int mJoints;
    int mIndex;  // seeds the values and picks the joints that carry the features
};

std::string CaseName(const testing::TestParamInfo<JointCase>& info) {
    static const char* const kOrders[] = {"XYZ", "XZY", "YZX", "YXZ", "ZXY", "ZYX"};
    std::string name = info.param.mFeatures == 0 ? "order" : zeqtest::FeatureName(info.param.mFeatures);
    for (char& c : name)
        if (c == ' ' || c == '-') c = '_';
    return name + "_" + kOrders[info.param.mOrder] + (info.param.mKeyed ? "_keyed_" : "_static_") +
           std::to_string(info.param.mJoints) + "joints";
}

std::vector<JointCase> Cases() {
    using namespace zeqtest;
    const unsigned kinds[] = {0u,
                              kPreRotation,
                              kPostRotation,
                              kRotationOffset,
                              kRotationPivot,
                              kScalingPivot,
                              kPreRotation | kPostRotation | kRotationOffset | kRotationPivot | kScalingOffset |
                                  kScalingPivot | kGeometric};
    std::vector<JointCase> cases;
    for (unsigned kind : kinds)
        for (int order = 0; order < 6; ++order)
            for (bool keyed : {false, true}) {
                const int index = static_cast<int>(cases.size());
                cases.push_back({kind, order, keyed, 3 + index % 4, index});
            }
    return cases;
}

class MotionJointWrite : public testing::TestWithParam<JointCase> {
protected:
    void TearDown() override {
        mManager.DestroyKZeqScene(mScene, true);
        mManager.DestroyKZeqScene(mBack, true);
    }

    // The chain J0 (top) to J<n-1>, each one bone below the last, the joints
    // that carry the features given them; keyed in the take, or left in the
    // default take with their default values.
    void MakeChain(const JointCase& c) {
        std::mt19937 random(static_cast<unsigned>(1000 + c.mIndex));
        std::uniform_real_distribution<double> angle(-120.0, 120.0), slant(-2.0, 2.0);
        KZeqNode* parent = mScene->GetRootNode();
        for (int n = 0; n < c.mJoints; ++n) {
            const bool carries = n == 1 || (n == 0 && c.mIndex % 2 == 1) || (n == c.mJoints - 1 && c.mIndex % 3 == 0);
            FileTransformValues v = zeqtest::RandomFileValues(random, carries ? c.mFeatures : 0u,
                                                              carries ? c.mOrder : 0);
            // A uniform scaling, which the formats carry into the offsets below.
            if (carries && (c.mFeatures & zeqtest::kScalingPivot)) v.s[0] = v.s[1] = v.s[2] = 1.5;
            const double t[3] = {n == 0 ? 1.0 : zeqtest::Held(slant(random)), n == 0 ? 2.0 : 10.0,
                                 n == 0 ? 3.0 : zeqtest::Held(slant(random))};
            for (int i = 0; i < 3; ++i) v.t[i] = t[i];
            for (double& r : v.r) r = zeqtest::Held(angle(random));
            KZeqNode* node = AddJoint(*parent, n);
            zeqtest::SetFileValues(*node, v);
            Keys keys{{0.0, v}};
            if (c.mKeyed) {
                // Rotation keyed; translation and scaling held, as a rotation-only file holds them.
                for (double seconds : {1.0, 2.0}) {
                    FileTransformValues k = v;
                    for (double& r : k.r) r = zeqtest::Held(angle(random));
                    keys.emplace_back(seconds, k);
                }
                zeqtest::KeyFileValues(*node, kTake, keys);
            }
            mKeys.push_back(keys);
            mNodes.push_back(node);
            parent = node;
        }
        for (KZeqNode* node : mNodes) node->SetSelected(true);
        if (c.mKeyed) UseTake();
    }

    // Joint J<n> below parent, a skeleton root for n = 0 and a limb below.
    KZeqNode* AddJoint(KZeqNode& parent, int n) {
        KZeqNode* node = mManager.CreateKZeqNode(("J" + std::to_string(n)).c_str());
        KZeqSkeleton* skeleton = mManager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(n == 0 ? KZeqSkeleton::eROOT : KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
        parent.AddChild(node);
        return node;
    }

    // The chain of the near-quarter-turn test, written and read back.
    void WriteNearAQuarterTurn(bool full);

    // The keyed take, 0 to 2 s, made current.
    void UseTake() {
        KZeqTakeInfo info;
        info.mName = kTake;
        KTime stop;
        stop.SetSecondDouble(2.0);
        info.mLocalTimeSpan = KTimeSpan(KTime(), stop);
        info.mReferenceTimeSpan = info.mLocalTimeSpan;
        mScene->SetTakeInfo(info);
        mScene->SetCurrentTake(kTake);
    }

    // Where the file's own transforms put every joint at every frame.
    Positions Expected() const {
        Positions positions;
        for (int f = 0; f < kFrames; ++f) {
            std::vector<std::array<double, 3>> frame;
            zeqtest::Mat4 global = zeqtest::Identity();
            for (const Keys& keys : mKeys) {
                global = zeqtest::Multiply(zeqtest::FileLocalMatrix(zeqtest::ValuesBetweenKeys(keys, f / kRate)),
                                           global);
                frame.push_back({global[3][0], global[3][1], global[3][2]});
            }
            positions.push_back(frame);
        }
        return positions;
    }

    bool ReadBack(const std::string& way, const std::map<std::string, Output>& out, std::string& error) {
        mManager.DestroyKZeqScene(mBack, true);
        mBack = mManager.CreateKZeqScene();
        return ReadWritten(mManager, *mBack, way, out, kFrames, kRate, error);
    }

    // Every joint of the read scene within tolerance of where it should be,
    // or named (it or one above it) by the writer's messages.
    testing::AssertionResult Placed(const std::string& way, const Positions& expected, const std::string& messages,
                                    double tolerance) {
        std::vector<KZeqNode*> read;
        for (std::size_t j = 0; j < mNodes.size(); ++j) {
            const std::string name = "J" + std::to_string(j);
            KZeqNode* node = FindWritten(*mBack, way, name, j == 0, j > 0 ? "J" + std::to_string(j - 1) : "",
                                         static_cast<int>(j));
            if (!node) return testing::AssertionFailure() << way << ": " << name << " is missing";
            read.push_back(node);
        }
        int said = -1;  // the first joint the messages name: it and all below may be off
        for (std::size_t j = 0; j < mNodes.size() && said < 0; ++j)
            if (messages.find("\"J" + std::to_string(j) + "\":") != std::string::npos) said = static_cast<int>(j);
        for (int f = 0; f < kFrames; ++f) {
            KTime time;
            time.SetSecondDouble(f / kRate);
            for (std::size_t j = 0; j < read.size(); ++j) {
                const KZeqVector4 p = read[j]->GetGlobalFromCurrentTake(time).GetT();
                for (int a = 0; a < 3; ++a) {
                    const double d = p[a] - expected[static_cast<std::size_t>(f)][j][a];
                    if (std::fabs(d) <= tolerance || (said >= 0 && static_cast<int>(j) >= said)) continue;
                    return testing::AssertionFailure() << way << ": J" << j << " at frame " << f << " axis " << a
                                                       << " off by " << d << " (messages: " << messages << ")";
                }
            }
        }
        return testing::AssertionSuccess();
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqScene* mBack = mManager.CreateKZeqScene();
    zeqmotiontest::MotionTempDir mDir;
    std::vector<KZeqNode*> mNodes;
    std::vector<Keys> mKeys;
};

TEST_P(MotionJointWrite, EveryJointWhereItsTransformPutsIt) {
    MakeChain(GetParam());
    const Positions expected = Expected();
    double size = 0.0;
    for (const auto& frame : expected)
        for (const auto& p : frame)
            for (double x : p) size = std::max(size, std::fabs(x));
    std::vector<KZeqVector4> before;
    for (KZeqNode* node : mNodes) before.push_back(node->EvaluateGlobalTransform(Between()).GetT());
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    // The writers leave every node's transform as it was (their automatic
    // limits live in pivot set 0's pre- and post-rotation and rotation order).
    for (std::size_t j = 0; j < mNodes.size(); ++j) {
        const KZeqVector4 now = mNodes[j]->EvaluateGlobalTransform(Between()).GetT();
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(now[a], before[j][a], 1e-9 * size) << "J" << j;
    }
    for (const Way& way : Ways()) {
        ASSERT_TRUE(ReadBack(way.mName, out, error)) << way.mName << ": " << error;
        const std::string messages = out[way.mName].mMessages + (std::string(way.mName) == "asf" ? out["amc"].mMessages : "");
        EXPECT_TRUE(Placed(way.mName, expected, messages, 1e-4 * size));
    }
}

INSTANTIATE_TEST_SUITE_P(Chains, MotionJointWrite, testing::ValuesIn(Cases()), CaseName);

// A joint turned within a twentieth of a degree of a quarter turn about Y, in
// a scene whose top joint carries a pre-rotation: BVH files, with and without
// translation channels, and ASF/AMC files put the joints below it where they
// are, not where the quarter turn itself would put them (a thousandth of a
// radian away). The turned joint is taken from its curves or, when it carries
// a scaling pivot that moves nothing, from its full transform.
TEST_F(MotionJointWrite, NearAQuarterTurnAboutYTheTurnIsKept) {
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full transform" : "curves");
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        mNodes.clear();
        mKeys.clear();
        WriteNearAQuarterTurn(full);
    }
}

void MotionJointWrite::WriteNearAQuarterTurn(bool full) {
    const double t[4][3] = {{1.0, 2.0, 3.0}, {0.0, 10.0, 0.0}, {0.0, 10.0, 0.0}, {0.0, 10.0, 0.0}};
    KZeqNode* parent = mScene->GetRootNode();
    for (int n = 0; n < 4; ++n) {
        FileTransformValues v;
        for (int i = 0; i < 3; ++i) v.t[i] = t[n][i];
        if (n == 0) v.preRotation[2] = 15.0;
        if (n == 1 && full) v.scalingPivot[0] = 1.0;
        KZeqNode* node = AddJoint(*parent, n);
        zeqtest::SetFileValues(*node, v);
        node->SetSelected(true);
        Keys keys{{0.0, v}};
        if (n == 1) {
            // Still at frame 0; the near quarter turn from 1 s on.
            FileTransformValues k = v;
            k.r[0] = 30.0;
            k.r[1] = 89.96875;
            k.r[2] = 20.0;
            keys = {{0.0, v}, {1.0, k}, {2.0, k}};
            zeqtest::KeyFileValues(*node, kTake, keys);
        }
        mKeys.push_back(keys);
        mNodes.push_back(node);
        parent = node;
    }
    UseTake();
    const Positions expected = Expected();
    double size = 0.0;
    for (const auto& p : expected[0])
        for (double x : p) size = std::max(size, std::fabs(x));
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    for (const char* way : {"bvh", "bvh-translation", "asf"}) {
        ASSERT_TRUE(ReadBack(way, out, error)) << way << ": " << error;
        EXPECT_TRUE(Placed(way, expected, out[way].mMessages, 1e-6 * size));
    }
}

// What a writer might touch of a node while it works out the node's automatic
// limits: pivot set 0's state, pre- and post-rotation and rotation order, and
// the limits' own values.
std::vector<double> LimitsAndRotations(KZeqNode& node) {
    std::vector<double> values;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_ACTIVE;
    ERotationOrder order = eEULER_XYZ;
    node.GetPivotState(set, state);
    node.GetRotationOrder(set, order);
    values.push_back(state);
    values.push_back(order);
    KZeqNodeLimits& limits = node.GetLimits();
    for (const KZeqVector4& v : {node.GetPreRotation(set), node.GetPostRotation(set),
                                 limits.mTranslationLimits.GetLimitMin(), limits.mTranslationLimits.GetLimitMax(),
                                 limits.mScalingLimits.GetLimitMin(), limits.mScalingLimits.GetLimitMax()})
        values.insert(values.end(), v.mData, v.mData + 4);
    values.push_back(limits.GetAxisLength());
    return values;
}

// Writing changes nothing of the scene: the writers that work out a joint's
// automatic limits (BVH and HTR) give every node back pivot set 0's pre- and
// post-rotation and rotation order, whether the set is active or not, and the
// limits' values.
TEST_F(MotionJointWrite, WritersLeaveTheSceneAsItWas) {
    MakeChain({zeqtest::kPreRotation | zeqtest::kPostRotation, 1, true, 4, 5});
    // Values an inactive set keeps without their taking part.
    mNodes[2]->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    mNodes[2]->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(12.0, -7.0, 3.0, 1.0));
    mNodes[2]->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(-4.0, 9.0, 30.0, 1.0));
    mNodes[3]->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    std::vector<std::vector<double>> before;
    for (KZeqNode* node : mNodes) before.push_back(LimitsAndRotations(*node));
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    for (std::size_t j = 0; j < mNodes.size(); ++j) EXPECT_EQ(before[j], LimitsAndRotations(*mNodes[j])) << "J" << j;
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// A joint turning about a rotation pivot moves its origin: a file that keeps
// one offset for it says so once, as a warning through the callback and in
// the exporter's message, whatever the number of frames; files with
// translation channels or positions hold it and say nothing.
TEST_F(MotionJointWrite, ATurningJointsRotationPivotIsSaidOnce) {
    MakeChain({zeqtest::kRotationPivot, 0, true, 3, 2});
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    const std::string said = "\"J1\": rotation pivot not held";
    for (const char* way : {"bvh", "amc"}) {
        ASSERT_EQ(out[way].mCallbacks.size(), 1u) << way << ": " << out[way].mMessages;
        EXPECT_EQ(out[way].mCallbacks[0].rfind("Warning: " + said, 0), 0u) << way << ": " << out[way].mCallbacks[0];
        EXPECT_EQ(Count(out[way].mMessages, said), 2) << way << ": " << out[way].mMessages;
    }
    for (const char* way : {"bvh-translation", "htr", "asf", "trc"})
        EXPECT_TRUE(out[way].mCallbacks.empty() && out[way].mMessages.empty()) << way << ": " << out[way].mMessages;
}

}  // namespace
}  // namespace zeqmotionwriters
