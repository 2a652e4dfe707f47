#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletransform_support.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

constexpr KZeqNode::EPivotSet kSet0 = KZeqNode::eSOURCE_SET;
constexpr KZeqNode::EPivotSet kSet1 = KZeqNode::eDESTINATION_SET;

// Default value, then each key's value.
std::vector<float> Values(KFCurve* curve) {
    std::vector<float> values{curve->GetValue()};
    for (int i = 0; i < curve->KeyGetCount(); ++i) values.push_back(curve->KeyGetPtr(i)->GetValue());
    return values;
}

// Translation X as Values, then the defaults of Y and Z.
std::vector<float> Translation(KZeqTakeNode* take) {
    std::vector<float> values = Values(take->GetTranslationX());
    values.push_back(take->GetTranslationY()->GetValue());
    values.push_back(take->GetTranslationZ()->GetValue());
    return values;
}

// Pre-rotations about Y in set 0 and set 1; the node's properties for more.
KZeqNodeProperties* Pre(KZeqNode* node, double set0, double set1) {
    node->SetPreRotation(kSet0, KZeqVector4(0, set0, 0, 0));
    node->SetPreRotation(kSet1, KZeqVector4(0, set1, 0, 0));
    return node->GetPropertyHandler();
}

class KZeqNodePivotTest : public ::testing::Test {
protected:
    // Two takes, each keying translation X at 0 s and 1 s (0, 10) and
    // rotation X flat at 0 s, 1 s and 2 s (5); rotation counts, both sets as asked.
    KZeqNode* Animated(KZeqNode* parent = nullptr, bool active = true) {
        KZeqNode* node = mManager.CreateKZeqNode("n");
        if (parent) parent->AddChild(node);
        node->CreateTakeNode("Take 001");
        for (int i = 0; i < 2; ++i) {
            KZeqTakeNode* take = node->GetTakeNode(i);
            Key(take->GetTranslationX(), 0.0, 0.0f);
            Key(take->GetTranslationX(), 1.0, 10.0f);
            for (double t : {0.0, 1.0, 2.0}) Key(take->GetEulerRotationX(), t, 5.0f);
        }
        node->GetPropertyHandler()->RotationActive.Value() = true;
        for (KZeqNode::EPivotSet set : {kSet0, kSet1})
            node->SetPivotState(set, active ? KZeqNode::ePIVOT_STATE_ACTIVE : KZeqNode::ePIVOT_STATE_REFERENCE);
        return node;
    }
    // The converter ran on the take: its constant key reducer thinned the flat rotation run.
    static bool Converted(KZeqNode* node, int take) {
        return node->GetTakeNode(take)->GetEulerRotationX()->KeyGetCount() != 3;
    }
    KZeqSdkManager mManager;
};

}  // namespace

TEST_F(KZeqNodePivotTest, LighterShiftsEveryTakeByThePivotOffsetAndParentDifferences) {
    KZeqNode* root = Animated(nullptr, false);
    KZeqNode* child = Animated(root, false);
    for (KZeqNode* n : {root, child}) {
        n->SetPivotState(kSet0, KZeqNode::ePIVOT_STATE_ACTIVE);
        n->SetRotationPivot(kSet0, KZeqVector4(1, 2, 3, 0));
        n->SetDefaultS(KZeqVector4(2, 0, 4, 0));
    }
    child->SetRotationOffset(kSet0, KZeqVector4(0, 0, 1, 0));
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    root->SetNodeAttribute(mesh);
    root->ConvertPivotAnimation(static_cast<KZeqNode::EPivotSet>(7), 30.0, true);  // any non-zero target is set 1
    // The geometry stays in place: its pivot moves by -(1, 2, 3) over the scaling, 0 counting as 1.
    KZeqXMatrix pivot;
    EXPECT_EQ(KZeqVector4(-0.5, -2, -0.75, 1), mesh->GetPivot(pivot).GetT());
    for (int take = 0; take < 2; ++take) {
        EXPECT_EQ(std::vector<float>({1, 1, 11, 2, 3}), Translation(root->GetTakeNode(take)));
        // The child's pivot is cancelled by its parent's; its offset stays.
        EXPECT_EQ(std::vector<float>({0, 0, 10, 0, 1}), Translation(child->GetTakeNode(take)));
        EXPECT_FALSE(Converted(root, take));
    }
    KZeqVector4 t;
    EXPECT_EQ(KZeqVector4(1, 2, 3, 0), root->GetDefaultT(t));  // through the default take to the property
    EXPECT_EQ(KZeqVector4(1, 2, 3, 0), root->GetRotationPivot(kSet0));  // sets are never changed
}

TEST_F(KZeqNodePivotTest, PreRotationDifferenceIsResampledIntoTheRotationCurvesOnly) {
    for (auto convert : {&KZeqNode::ConvertPivotAnimation, &KZeqNode::ConvertPivotAnimationRecursive}) {
        KZeqNode* node = Animated();
        node->SetPreRotation(kSet0, KZeqVector4(0, 0, 90, 0));
        (node->*convert)(kSet1, 30.0, false);
        for (int take = 0; take < 2; ++take) {
            KZeqTakeNode* t = node->GetTakeNode(take);
            EXPECT_NEAR(90.0, t->GetEulerRotationZ()->GetValue(), 1e-4);
            ASSERT_EQ(61, t->GetEulerRotationZ()->KeyGetCount());  // 2 s at 30 per second
            EXPECT_NEAR(90.0, t->GetEulerRotationZ()->KeyGetPtr(30)->GetValue(), 1e-4);
            EXPECT_EQ(std::vector<float>({0, 0, 10}), Values(t->GetTranslationX()));
        }
    }
}

// Both conversions read the rotation curves in the source set's order and write them in the
// target set's: where a pre-rotation is resampled into them, the node turns as before at every
// sample, in every Euler order, the same on both sides or not, and in the spheric order, which
// turns as Euler XYZ.
TEST_F(KZeqNodePivotTest, PreRotationResampledInTheSetsRotationOrders) {
    const std::pair<int, int> orders[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4},
                                          {5, 5}, {3, 1}, {6, 6}, {6, 0}, {2, 6}};
    for (auto convert : {&KZeqNode::ConvertPivotAnimation, &KZeqNode::ConvertPivotAnimationRecursive}) {
        for (const auto& [from, to] : orders) {
            SCOPED_TRACE(std::string(convert == &KZeqNode::ConvertPivotAnimation ? "lighter" : "fuller") +
                         ", orders " + std::to_string(from) + " to " + std::to_string(to));
            KZeqNode* node = Animated();
            KZeqTakeNode* take = node->GetTakeNode(1);
            const float y[3] = {100, -40, 20}, z[3] = {-125, 60, 170};
            for (int k = 0; k < 3; ++k) {
                Key(take->GetEulerRotationY(), k, y[k]);
                Key(take->GetEulerRotationZ(), k, z[k]);
            }
            node->SetRotationOrder(kSet0, static_cast<ERotationOrder>(from));
            node->SetRotationOrder(kSet1, static_cast<ERotationOrder>(to));
            node->SetPreRotation(kSet0, KZeqVector4(16, 10, -73, 0));
            KFCurve* r[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
            std::vector<zeqtest::Mat4> before;
            zeqtest::FileTransformValues values;
            values.preRotation[0] = 16, values.preRotation[1] = 10, values.preRotation[2] = -73;
            values.rotationOrder = from;
            for (int frame = 0; frame <= 60; ++frame) {
                for (int c = 0; c < 3; ++c) values.r[c] = r[c]->Evaluate(Sec(frame / 30.0));
                before.push_back(zeqtest::FileLocalMatrix(values));
            }
            (node->*convert)(kSet1, 30.0, false);
            // The converter leaves new curves in the take.
            KFCurve* converted[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
            values = zeqtest::FileTransformValues();
            values.rotationOrder = to;
            for (int frame = 0; frame <= 60; ++frame) {
                for (int c = 0; c < 3; ++c) values.r[c] = converted[c]->Evaluate(Sec(frame / 30.0));
                const zeqtest::Mat4 after = zeqtest::FileLocalMatrix(values);
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        EXPECT_NEAR(after[i][j], before[static_cast<std::size_t>(frame)][i][j], 1e-5)
                            << "frame " << frame;
            }
        }
    }
}

TEST_F(KZeqNodePivotTest, FullerTestsTheRotationPivotExactlyAndTheRestWithinATolerance) {
    const struct {
        const char* mName;
        void (*mSet)(KZeqNode*);
        bool mFuller, mLighter;  // whether each form runs the converter
    } rows[] = {
        {"sets inactive",
         [](KZeqNode* n) {
             for (KZeqNode::EPivotSet set : {kSet0, kSet1}) n->SetPivotState(set, KZeqNode::ePIVOT_STATE_REFERENCE);
             Pre(n, 10, 30);
             n->SetRotationPivot(kSet0, KZeqVector4(1, 1, 1, 0));
         },
         false, false},
        {"rotation pivot", [](KZeqNode* n) { n->SetRotationPivot(kSet0, KZeqVector4(1e-9, 0, 0, 0)); }, true, false},
        {"scaling pivot", [](KZeqNode* n) { n->SetScalingPivot(kSet0, KZeqVector4(1e-9, 0, 0, 0)); }, false, false},
        {"scaling offset", [](KZeqNode* n) { n->SetScalingOffset(kSet0, KZeqVector4(0, 1e-3, 0, 0)); }, true, false},
        {"rotation orders", [](KZeqNode* n) { n->SetRotationOrder(kSet1, eEULER_ZYX); }, true, false},
        {"equal pre-rotations", [](KZeqNode* n) { Pre(n, 30, 30); }, false, true},
        {"pre-rotations a hair apart", [](KZeqNode* n) { Pre(n, 30, 30 + 1e-5); }, false, true},
        {"pre-rotations near a quarter turn apart", [](KZeqNode* n) { Pre(n, 89.95, 0); }, true, true},
        {"post-rotations near a quarter turn apart",
         [](KZeqNode* n) { n->SetPostRotation(kSet0, KZeqVector4(0, -89.95, 0, 0)); }, true, true},
        {"rotation inactive", [](KZeqNode* n) { Pre(n, 30, 0)->RotationActive.Value() = false; }, false, true},
        {"limits only", [](KZeqNode* n) { Pre(n, 30, 0)->RotationSpaceForLimitOnly.Value() = true; }, false, true},
    };
    for (const auto& row : rows) {
        KZeqNode* fuller = Animated();
        KZeqNode* lighter = Animated();
        row.mSet(fuller);
        row.mSet(lighter);
        fuller->ConvertPivotAnimationRecursive(kSet1, 30.0, true);
        lighter->ConvertPivotAnimation(kSet1, 30.0, true);
        for (int take = 0; take < 2; ++take) {
            EXPECT_EQ(row.mFuller, Converted(fuller, take)) << row.mName;
            EXPECT_EQ(row.mLighter, Converted(lighter, take)) << row.mName;
        }
    }
}

TEST_F(KZeqNodePivotTest, TakeWithoutATranslationCurveShiftsTheOthers) {
    KZeqNode* node = Animated(nullptr, false);
    KFCurveNode* t = node->GetTakeNode(1)->GetKFCurveNode()->FindRecursive("T");
    t->Delete(t->Find("X"));
    node->SetPivotState(kSet0, KZeqNode::ePIVOT_STATE_ACTIVE);
    node->SetRotationPivot(kSet0, KZeqVector4(1, 2, 3, 0));
    node->ConvertPivotAnimation(kSet1, 30.0, true);
    EXPECT_EQ(nullptr, node->GetTakeNode(1)->GetTranslationX());
    EXPECT_EQ(std::vector<float>({2}), Values(node->GetTakeNode(1)->GetTranslationY()));
    EXPECT_EQ(std::vector<float>({1, 1, 11}), Values(node->GetTakeNode(0)->GetTranslationX()));
}

// A scaling with negative axes keeps them through a resampled pre-rotation: another choice of signs
// (all three negated for a mirror, none for two) changes the rotation, which then turns what lies
// between the scaling and the rotation (the scaling pivot and offset, the rotation pivot, the
// post-rotation) elsewhere. Keyed from one scaling to another on the same sides of zero, the node's
// transform is the same before and after at every sample, in both conversions.
TEST_F(KZeqNodePivotTest, NegativeScalingAxesKeptThroughAResampledPreRotation) {
    const float scalings[][2][3] = {{{1, -2, 0.5f}, {2, -1, 1.5f}}, {{-1, -2, 0.5f}, {-2, -0.5f, 1}}};
    for (auto convert : {&KZeqNode::ConvertPivotAnimation, &KZeqNode::ConvertPivotAnimationRecursive})
        for (const auto& scaling : scalings) {
            SCOPED_TRACE(std::string(convert == &KZeqNode::ConvertPivotAnimation ? "lighter" : "fuller") +
                         ", scaling X " + std::to_string(scaling[0][0]));
            KZeqNode* node = Animated();
            KZeqTakeNode* take = node->GetTakeNode(1);
            KFCurve* s[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
            for (int axis = 0; axis < 3; ++axis)
                for (int k = 0; k < 2; ++k) Key(s[axis], k, scaling[k][axis]);
            zeqtest::FileTransformValues values;
            const double pre[3] = {16, 10, -73}, post[3] = {20, -30, 40}, pivot[3] = {1, -1, 0.5},
                         offset[3] = {0.3, 0.2, -0.1}, rotationPivot[3] = {0.5, 1, -1};
            for (int i = 0; i < 3; ++i) {
                values.preRotation[i] = pre[i];
                values.postRotation[i] = post[i];
                values.scalingPivot[i] = pivot[i];
                values.scalingOffset[i] = offset[i];
                values.rotationPivot[i] = rotationPivot[i];
            }
            for (KZeqNode::EPivotSet set : {kSet0, kSet1}) {
                node->SetPostRotation(set, KZeqVector4(post[0], post[1], post[2], 0));
                node->SetScalingPivot(set, KZeqVector4(pivot[0], pivot[1], pivot[2], 0));
                node->SetScalingOffset(set, KZeqVector4(offset[0], offset[1], offset[2], 0));
                node->SetRotationPivot(set, KZeqVector4(rotationPivot[0], rotationPivot[1], rotationPivot[2], 0));
            }
            node->SetPreRotation(kSet0, KZeqVector4(pre[0], pre[1], pre[2], 0));
            // The transform at each frame of the second, from the take's curves and these values.
            const auto locals = [&](const zeqtest::FileTransformValues& with) {
                zeqtest::FileTransformValues v = with;
                std::vector<zeqtest::Mat4> out;
                for (int frame = 0; frame <= 30; ++frame) {
                    KFCurve* curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                          take->GetEulerRotationX(), take->GetEulerRotationY(),
                                          take->GetEulerRotationZ(), take->GetScaleX(), take->GetScaleY(),
                                          take->GetScaleZ()};
                    double* slots[9] = {&v.t[0], &v.t[1], &v.t[2], &v.r[0], &v.r[1],
                                        &v.r[2], &v.s[0], &v.s[1], &v.s[2]};
                    for (int c = 0; c < 9; ++c) *slots[c] = curves[c]->Evaluate(Sec(frame / 30.0));
                    out.push_back(zeqtest::FileLocalMatrix(v));
                }
                return out;
            };
            const std::vector<zeqtest::Mat4> before = locals(values);
            (node->*convert)(kSet1, 30.0, false);
            for (double& angle : values.preRotation) angle = 0;
            const std::vector<zeqtest::Mat4> after = locals(values);
            // The first frame where they part, if any.
            std::string parted;
            for (std::size_t frame = 0; frame < before.size() && parted.empty(); ++frame)
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 3; ++j)
                        if (parted.empty() && std::fabs(after[frame][i][j] - before[frame][i][j]) > 1e-5)
                            parted = "frame " + std::to_string(frame) + " [" + std::to_string(i) + "][" +
                                     std::to_string(j) + "] " + std::to_string(after[frame][i][j]) + " where it was " +
                                     std::to_string(before[frame][i][j]);
            EXPECT_EQ(parted, "");
            EXPECT_LT(take->GetScaleY()->Evaluate(Sec(0.5)), 0.0f);
        }
}
