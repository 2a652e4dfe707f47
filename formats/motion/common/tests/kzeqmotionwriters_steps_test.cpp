// The motion writers' work held to the joints, by the steps their searches count (channels and
// names looked up, entries visited) rather than by a clock: twice the joints cost at most about
// twice the steps, flat, deep or a comb of turned joints down a spine, with every joint named by
// a message; and each joint's full transform is evaluated once a frame, however many parts of a
// write (the file, its states, the shear check, the notes) ask for it.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/kstepcount.h"
#include "content/kzeqskeleton.h"
#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/tests/kfiletransform_scene.h"

namespace zeqmotionwriters {
namespace {

constexpr const char* kTake = "Take 001";
constexpr double kRate = 10.0;

// A fan keyed, a chain, a comb of turned teeth down a spine, a fan of joints without takes below
// a hub (the first joint below the top: the bones of a hub, unlike the root's, share its offset).
enum class Shape { kFlat, kDeep, kComb, kStill };

struct StepCase {
    const char* mWay;
    Shape mShape;
};

std::string CaseName(const StepCase& c) {
    static const char* const kShapes[] = {"flat", "deep", "comb", "still"};
    std::string name = std::string(c.mWay) + "_" + kShapes[static_cast<int>(c.mShape)];
    for (char& ch : name)
        if (ch == '-') ch = '_';
    return name;
}

void PrintTo(const StepCase& c, std::ostream* os) { *os << CaseName(c); }

const Way& FindWay(const std::string& name) {
    for (const Way& way : Ways())
        if (name == way.mName) return way;
    return Ways().front();
}

class MotionWriterSteps : public testing::Test {
protected:
    void TearDown() override {
        for (KZeqScene* scene : mScenes) mManager.DestroyKZeqScene(scene, true);
    }

    // A joint below parent, selected, keyed in the take from 0 to 1 s unless still. Turned: with a
    // joint orient, a rotation pivot and (keyed) a rotation, so that below an uneven scaling it is
    // sheared and, where a file keeps one offset, its pivot's turn is not held; else (a joint of a
    // comb's spine) with a rotation pivot alone, its full transform unturned.
    KZeqNode* Joint(KZeqNode& parent, bool top, bool turned, bool still = false) {
        KZeqNode* node = mManager.CreateKZeqNode(("J" + std::to_string(mJoints++)).c_str());
        KZeqSkeleton* skeleton = mManager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(top ? KZeqSkeleton::eROOT : KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
        zeqtest::FileTransformValues v;
        v.t[0] = 0.5, v.t[1] = 2.0, v.t[2] = 0.25;
        v.rotationPivot[0] = 0.1, v.rotationPivot[1] = 0.2, v.rotationPivot[2] = 0.3;
        if (turned) v.preRotation[0] = 10.0, v.preRotation[1] = 20.0, v.preRotation[2] = 30.0;
        if (top) v.s[0] = 1.5;
        zeqtest::SetFileValues(*node, v);
        zeqtest::FileTransformValues end = v;
        if (turned) end.r[0] = 30.0, end.r[1] = -20.0, end.r[2] = 45.0;
        if (!still) zeqtest::KeyFileValues(*node, kTake, {{0.0, v}, {1.0, end}});
        node->SetSelected(true);
        parent.AddChild(node);
        return node;
    }

    // A new scene of J0, scaled unevenly (1.5, 1, 1), with n joints below it in the shape.
    KZeqScene& Skeleton(Shape shape, int n) {
        KZeqScene* scene = mScenes.emplace_back(mManager.CreateKZeqScene());
        mJoints = 0;
        KZeqNode* top = Joint(*scene->GetRootNode(), true, false);
        KZeqNode* at = top;
        for (int j = 0; j < n; ++j) {
            if ((shape == Shape::kComb && j % 2 == 0) || (shape == Shape::kStill && j == 0)) {
                at = Joint(*at, false, false, shape == Shape::kStill);
                continue;
            }
            KZeqNode* joint = Joint(shape == Shape::kFlat ? *top : *at, false, true, shape == Shape::kStill);
            if (shape == Shape::kDeep) at = joint;
        }
        KZeqTakeInfo info;
        info.mName = kTake;
        info.mLocalTimeSpan = KTimeSpan(KTime(), KTime::OneSecond());
        info.mReferenceTimeSpan = info.mLocalTimeSpan;
        scene->SetTakeInfo(info);
        scene->SetCurrentTake(kTake);
        return *scene;
    }

    // The search steps of writing scene through way over frames; what the writers said in messages.
    std::uint64_t Written(KZeqScene& scene, const Way& way, int frames, std::string* messages = nullptr) {
        Writers writers(mManager, mDir.Path());
        std::map<std::string, Output> out;
        std::string error;
        std::uint64_t steps = 0;
        {
            KStepCountScope counted(KStepKind::eSearch);
            EXPECT_TRUE(writers.Write(scene, way, frames, kRate, KTime(), out, error)) << error;
            steps = counted.GetSteps();
        }
        if (messages)
            for (const auto& written : out) *messages += written.second.mMessages;
        return steps;
    }

    // The search steps of evaluating the full transform of every joint of scene once at time.
    static std::uint64_t OneEvaluation(KZeqScene& scene, KTime time) {
        std::vector<KZeqNode*> pending{scene.GetRootNode()};
        KStepCountScope counted(KStepKind::eSearch);
        while (!pending.empty()) {
            KZeqNode* node = pending.back();
            pending.pop_back();
            if (node != scene.GetRootNode()) node->EvaluateLocalTransform(time);
            for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        }
        return counted.GetSteps();
    }

    KZeqSdkManager mManager;
    std::vector<KZeqScene*> mScenes;
    zeqmotiontest::MotionTempDir mDir;
    int mJoints = 0;
};

class MotionWriterJointSteps : public MotionWriterSteps, public testing::WithParamInterface<StepCase> {};

// Every joint named (sheared below J0, its pivot's turn not held where a file keeps one offset):
// what was said is looked up for each joint at each frame, the node that shears each tooth of a
// comb lies up the spine, and the still leaves of a fan are no bones of an ASF skeleton; none of
// it may cost a look through all the joints.
TEST_P(MotionWriterJointSteps, TwiceTheJointsCostAboutTwiceTheSteps) {
    const Way& way = FindWay(GetParam().mWay);
    constexpr int kJoints = 100, kFrames = 5;
    std::string messages;
    const std::uint64_t fewer = Written(Skeleton(GetParam().mShape, kJoints), way, kFrames, &messages);
    const std::uint64_t more = Written(Skeleton(GetParam().mShape, 2 * kJoints), way, kFrames);
    ASSERT_GT(fewer, 0u);
    EXPECT_LE(more, 2 * fewer + fewer / 5) << fewer << " steps for " << kJoints << " joints";
    // Each turned joint of a fan is named.
    if (way.mRow == KZeqExporter::eBIOVISION_BVH && GetParam().mShape == Shape::kFlat) {
        EXPECT_NE(messages.find("\"J" + std::to_string(kJoints) + "\": shear"), std::string::npos) << messages;
    }
}

std::vector<StepCase> StepCases() {
    std::vector<StepCase> cases;
    for (const Way& way : Ways())
        for (Shape shape : {Shape::kFlat, Shape::kDeep, Shape::kComb, Shape::kStill})
            cases.push_back({way.mName, shape});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Ways, MotionWriterJointSteps, testing::ValuesIn(StepCases()),
                         [](const testing::TestParamInfo<StepCase>& info) { return CaseName(info.param); });

class MotionWriterFrameSteps : public MotionWriterSteps, public testing::WithParamInterface<const char*> {};

// A chain of joints with full transforms below an uneven scaling: each further frame costs a
// write the searches of one evaluation of every joint, though the file, the states, the shear
// check and the notes all read each joint's transform.
TEST_P(MotionWriterFrameSteps, EachFullTransformIsEvaluatedOnceAFrame) {
    const Way& way = FindWay(GetParam());
    KZeqScene& scene = Skeleton(Shape::kDeep, 12);
    const std::uint64_t once = OneEvaluation(scene, KTime());
    const std::uint64_t four = Written(scene, way, 4), eight = Written(scene, way, 8);
    ASSERT_GT(once, 0u);
    ASSERT_GE(eight, four);
    const std::uint64_t perFrame = (eight - four) / 4;
    EXPECT_LE(perFrame, once + once / 4) << "one evaluation of every joint: " << once << " steps";
}

std::vector<const char*> WayNames() {
    std::vector<const char*> names;
    for (const Way& way : Ways()) names.push_back(way.mName);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Ways, MotionWriterFrameSteps, testing::ValuesIn(WayNames()),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace zeqmotionwriters
