#include "formats/motion/testkit/zeqmotiontestkit.h"

#include <memory>

#include <gtest/gtest.h>

#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqmotiontest {
namespace {

using namespace zeqsdk_400;

RefJoint Joint(const char* name, int parent, Vec3 offset, std::vector<RefChannel> channels) {
    RefJoint joint;
    joint.mName = name;
    joint.mParent = parent;
    joint.mOffset = offset;
    joint.mChannels = std::move(channels);
    return joint;
}

void ExpectNear(const Vec3& actual, const Vec3& expected) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-12) << "component " << i;
}

// A root at (1, 0, 0) turned 90 degrees about Z carries its child's offset
// (2, 0, 0) onto +Y.
TEST(MotionReference, ChildOffsetTurnsWithItsParent) {
    RefSkeleton skeleton;
    skeleton.mJoints = {Joint("Root", -1, {0, 0, 0}, {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz, RefChannel::kRz}),
                        Joint("Tip", 0, {2, 0, 0}, {})};
    const std::vector<Vec3> world = RefWorldPositions(skeleton, {1, 0, 0, 90});
    ExpectNear(world[0], {1, 0, 0});
    ExpectNear(world[1], {1, 2, 0});
}

// "Xrotation Yrotation" at 90, 90: applied last listed first, X goes to -Z
// then to +Y; first listed first, it stays X, then goes to -Z.
TEST(MotionReference, RotationOrderAndPositionRules) {
    RefSkeleton skeleton;
    skeleton.mJoints = {Joint("Root", -1, {5, 0, 0}, {RefChannel::kRx, RefChannel::kRy, RefChannel::kTy}),
                        Joint("Tip", 0, {1, 0, 0}, {})};
    std::vector<Vec3> world = RefWorldPositions(skeleton, {90, 90, 3});
    ExpectNear(world[0], {5, 3, 0});
    ExpectNear(world[1], {5, 4, 0});
    skeleton.mRotationOrder = RefRotationOrder::kFirstListedFirst;
    skeleton.mPosition = RefPosition::kAddsToOffset;
    world = RefWorldPositions(skeleton, {90, 90, 3});
    ExpectNear(world[0], {5, 3, 0});
    ExpectNear(world[1], {5, 3, -1});
}

class MotionKit : public testing::Test {
protected:
    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = mManager->CreateKZeqScene();
};

// The fixture's keys, evaluated by the scene, land where the reference puts
// the same values: the kit agrees with itself and with the scene's matrices.
TEST_F(MotionKit, ChainSampledAgreesWithItsReference) {
    ChainSpec spec;
    spec.mJoints = 5;
    spec.mBranchJoints = 2;
    spec.mEndSites = true;
    spec.mAnimateTranslation = true;
    const Chain chain = MakeAnimatedChain(*mManager, *mScene, spec);
    ASSERT_EQ(chain.mNodes.size(), 7u);
    ASSERT_EQ(chain.mEndSites.size(), 2u);
    EXPECT_TRUE(chain.Top()->GetSelected());
    std::vector<std::vector<double>> rows;
    for (int f = 0; f < spec.mFrames; ++f) rows.push_back(ChainRow(spec, f));
    const MotionSnapshot sampled = SampleMotion(chain.Top(), chain.Times());
    const MotionSnapshot reference = ReferenceSnapshot(ChainReference(spec), rows);
    EXPECT_EQ(sampled.mNames, (std::vector<std::string>{"Joint0", "Joint1", "Joint2", "Joint3", "Joint4",
                                                        "Joint4_End", "JointB0", "JointB1", "JointB1_End"}));
    EXPECT_TRUE(CompareMotion(reference, sampled, 1e-4));
}

TEST_F(MotionKit, CompareMotionNamesWhatDiffers) {
    ChainSpec spec;
    const Chain chain = MakeAnimatedChain(*mManager, *mScene, spec);
    const MotionSnapshot a = SampleMotion(chain.Top(), chain.Times());
    EXPECT_TRUE(CompareMotion(a, a, 0.0));
    MotionSnapshot moved = a;
    moved.mPositions[3][2][1] += 0.02;
    moved.mNames[1] = "Other";
    const testing::AssertionResult result = CompareMotion(a, moved, 0.01);
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("Joint2 at sample 3"), std::string::npos) << result.message();
    EXPECT_NE(std::string(result.message()).find("Joint1 / Other"), std::string::npos) << result.message();
    MotionSnapshot shorter = a;
    shorter.mNames.pop_back();
    EXPECT_FALSE(CompareMotion(a, shorter, 1.0));
    EXPECT_TRUE(CompareMotion(a, moved, 0.03, CompareParts{false, true, true, true}));
}

TEST(MotionKitCallbacks, RecorderKeepsEveryCallAndAnswers) {
    CallbackRecorder recorder;
    KStreamOptionsMotion options;
    recorder.Install(options);
    recorder.SetAnswer(2);
    options.ProgressCallback(nullptr, "Reading", 50.0f);
    EXPECT_EQ(options.MessageCallback(1, "Error", "text", "Ok", nullptr, nullptr, 0), 2);
    ASSERT_EQ(recorder.mProgress.size(), 1u);
    EXPECT_EQ(recorder.mProgress[0].mStatus, "(null)");
    EXPECT_EQ(recorder.CountProgress("Reading"), 1);
    ASSERT_EQ(recorder.mMessages.size(), 1u);
    EXPECT_EQ(recorder.mMessages[0].mWhich, 1);
    EXPECT_EQ(recorder.mMessages[0].mText, "text");
    EXPECT_EQ(recorder.mMessages[0].mButton1, "Ok");
}

TEST(MotionKitFrames, FirstMiddleLastAndTimes) {
    EXPECT_EQ(FirstMiddleLast(524), (std::vector<int>{0, 261, 523}));
    EXPECT_EQ(FirstMiddleLast(2), (std::vector<int>{0, 1}));
    EXPECT_EQ(FirstMiddleLast(1), (std::vector<int>{0}));
    EXPECT_TRUE(FirstMiddleLast(0).empty());
    KTime period;
    period.SetSecondDouble(0.5);
    const std::vector<KTime> times = FrameTimes(KTime(), period, 3);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_DOUBLE_EQ(times[2].GetSecondDouble(), 1.0);
}

}  // namespace
}  // namespace zeqmotiontest
