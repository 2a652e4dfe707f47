#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

typedef std::vector<double> Values;
constexpr KZeqNode::EPivotSet kSet0 = KZeqNode::eSOURCE_SET;
constexpr KZeqNode::EPivotSet kSet1 = KZeqNode::eDESTINATION_SET;

// Rounded to 1e-9 so that results of trigonometry compare exactly.
Values Near(Values v) {
    for (double& x : v) x = std::round(x * 1e9) / 1e9 + 0.0;
    return v;
}
Values Row(const KgeAMatrix& m, int row) { return Near({m[row][0], m[row][1], m[row][2]}); }
Values XYZ(const KZeqVector4& v) { return Near({v[0], v[1], v[2]}); }
KZeqXMatrix TRS(KZeqVector4 t, KZeqVector4 r, KZeqVector4 s) { return KZeqXMatrix(t, r, s); }

class KZeqNodeTransformTest : public ::testing::Test {
protected:
    KZeqNode* Node(KZeqNode* parent = nullptr, bool active = false) {
        KZeqNode* node = mManager.CreateKZeqNode("n");
        if (parent) parent->AddChild(node);
        if (active) node->SetPivotState(kSet0, KZeqNode::ePIVOT_STATE_ACTIVE);
        return node;
    }
    KZeqSdkManager mManager;
};

}  // namespace

TEST_F(KZeqNodeTransformTest, RootRowsFromDefaultValuesAndMirroredOrFlatScales) {
    KZeqNode* root = Node();
    root->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    root->SetDefaultR(KZeqVector4(0, 0, 90, 0));
    root->SetDefaultS(KZeqVector4(2, 2, 2, 0));
    root->SetRotationPivot(kSet0, KZeqVector4(5, 5, 5, 0));  // set 0 is not active
    const KgeAMatrix& g = root->GetGlobalMatrix(kSet0, false);
    EXPECT_EQ(Values({0, 2, 0, -2, 0, 0, 1, 2, 3}), Near({g[0][0], g[0][1], g[0][2], g[1][0], g[1][1], g[1][2],
                                                          g[3][0], g[3][1], g[3][2]}));
    EXPECT_EQ(Values({0, 0, 90}), XYZ(root->GetGlobalR(kSet0)));
    EXPECT_EQ(Values({2, 2, 2}), XYZ(root->GetGlobalS(kSet0)));
    root->SetDefaultS(KZeqVector4(-1, 1, 1, 0));
    root->SetDefaultR(KZeqVector4(0, 0, 0, 0));
    EXPECT_EQ(Values({-1, -1, -1}), XYZ(root->GetGlobalS(kSet0, true)));
    const Values turn = XYZ(root->GetGlobalR(kSet0));  // half a turn about X, either way
    EXPECT_EQ(Values({180, 0, 0}), Values({std::fabs(turn[0]), turn[1], turn[2]}));
    root->SetDefaultS(KZeqVector4(0, 2, 2, 0));
    EXPECT_EQ(Values({0, 2, 2}), XYZ(root->GetGlobalS(kSet0, true)));
    for (double angle : XYZ(root->GetGlobalR(kSet0))) EXPECT_TRUE(std::isfinite(angle));
}

TEST_F(KZeqNodeTransformTest, ChildSubtractsItsParentsPivotTurnedBackByThePostRotation) {
    KZeqNode* root = Node(nullptr, true);
    KZeqNode* child = Node(root);
    root->SetRotationPivot(kSet0, KZeqVector4(1, 0, 0, 0));
    EXPECT_EQ(Values({1, 0, 0}), XYZ(root->GetGlobalT(kSet0)));
    EXPECT_EQ(Values({0, 0, 0}), XYZ(child->GetGlobalT(kSet0)));
    root->SetPostRotation(kSet0, KZeqVector4(0, 0, 90, 0));
    EXPECT_EQ(Values({0, 0, 0}), XYZ(child->GetGlobalT(kSet0, true)));
    EXPECT_EQ(Values({0, 0, 90}), XYZ(child->GetGlobalR(kSet0)));
    // The child's own offset, and its pre-rotation applied after its rotation.
    child->SetPivotState(kSet0, KZeqNode::ePIVOT_STATE_ACTIVE);
    child->SetRotationOffset(kSet0, KZeqVector4(0, 3, 0, 0));
    child->SetPreRotation(kSet0, KZeqVector4(0, 0, -90, 0));
    EXPECT_EQ(Values({-3, 0, 0}), XYZ(child->GetGlobalT(kSet0, true)));
    EXPECT_EQ(Values({0, 0, 0}), XYZ(child->GetGlobalR(kSet0)));
}

TEST_F(KZeqNodeTransformTest, CacheServesUntilForcedAndEachSetKeepsItsOwn) {
    KZeqNode* root = Node(nullptr, true);
    KZeqNode* child = Node(root);
    root->SetRotationPivot(kSet0, KZeqVector4(4, 0, 0, 0));
    child->SetDefaultT(KZeqVector4(1, 0, 0, 0));
    EXPECT_EQ(Values({1, 0, 0}), XYZ(child->GetGlobalT(kSet1)));
    child->SetDefaultT(KZeqVector4(2, 0, 0, 0));
    EXPECT_EQ(Values({1, 0, 0}), XYZ(child->GetGlobalT(kSet1)));  // stale, as asked
    EXPECT_EQ(Values({2, 0, 0}), XYZ(child->GetGlobalT(kSet0)));  // never computed: fresh
    EXPECT_EQ(Values({1, 0, 0}), XYZ(child->GetGlobalT(kSet1)));
    child->SetDefaultT(KZeqVector4(3, 0, 0, 0));
    root->GetGlobalMatrix(kSet1, true);  // the whole hierarchy
    EXPECT_EQ(Values({3, 0, 0}), XYZ(child->GetGlobalT(kSet1)));
}

TEST_F(KZeqNodeTransformTest, AnimationIntervalWidensOverEveryNodeWithKeys) {
    KZeqNode* root = Node();
    KZeqNode* child = Node(root);
    KZeqNode* grandchild = Node(child);
    KTime start = Sec(2), stop = Sec(2);
    EXPECT_FALSE(root->GetAnimationInterval(start, stop));
    EXPECT_EQ(Sec(2), start);
    Key(root->GetDefaultTakeNode()->GetTranslationX(), 1.0, 0.0f);
    Key(grandchild->GetDefaultTakeNode()->GetScaleY(), 3.0, 1.0f);
    EXPECT_TRUE(root->GetAnimationInterval(start, stop));
    EXPECT_EQ(std::vector<KTime>({Sec(1), Sec(3)}), std::vector<KTime>({start, stop}));
}

// A node turned within a tenth of a degree of a quarter turn about Y, either way: the angles of
// its global rotation, and those a local state gives its default take and its current take's
// keys, rebuild the turn, not the quarter turn.
TEST_F(KZeqNodeTransformTest, NearAQuarterTurnAboutYIsKept) {
    const auto near = [](const KgeAMatrix& a, const KgeAMatrix& b, double tolerance) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if (std::fabs(a[i][j] - b[i][j]) > tolerance) return false;
        return true;
    };
    for (double y : {89.95, 90.03, -89.95, -90.05}) {
        const KZeqXMatrix turned = TRS({1, 2, 3, 0}, {30, y, 20, 0}, {1, 1, 1, 0});
        KZeqNode* node = Node();
        node->SetDefaultR(KZeqVector4(30, y, 20, 0));
        EXPECT_TRUE(near(TRS({}, node->GetGlobalR(kSet0, true), {1, 1, 1, 0}), turned, 1e-12)) << y;

        node->SetLocalState(turned);
        node->SetDefaultTakeFromLocalState(false);
        KZeqVector4 r;
        EXPECT_TRUE(near(TRS({}, node->GetDefaultR(r), {1, 1, 1, 0}), turned, 1e-12)) << y;
        node->CreateTakeNode("Take");
        node->SetCurrentTakeNode("Take");
        node->SetCurrentTakeFromLocalState(Sec(1), false);
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        const KZeqVector4 keyed(take->GetEulerRotationX()->Evaluate(Sec(1)), take->GetEulerRotationY()->Evaluate(Sec(1)),
                                take->GetEulerRotationZ()->Evaluate(Sec(1)), 0);
        EXPECT_TRUE(near(TRS({}, keyed, {1, 1, 1, 0}), turned, 1e-6)) << y;  // keys hold floats
    }
}

struct VeltrixCase {
    const char* mName;
    KZeqXMatrix mParent, mLocal;
    Values mGlobalT, mGlobalS;
};

class Veltrix : public ::testing::TestWithParam<VeltrixCase> {};

TEST_P(Veltrix, GlobalCombinesScalesPerAxisAndLocalUndoesIt) {
    const VeltrixCase& c = GetParam();
    KZeqXMatrix parent = c.mParent, local = c.mLocal, global, back;
    global.mData[0][3] = 7.0;
    KZeqNode::ComputeGlobalMatrixVeltrixStyle(global, parent, local);
    EXPECT_EQ(7.0, global.mData[0][3]);  // the fourth column is not written
    EXPECT_EQ(c.mGlobalT, XYZ(global.GetT()));
    EXPECT_EQ(c.mGlobalS, XYZ(global.GetS()));
    KZeqNode::ComputeLocalMatrixVeltrixStyle(back, parent, global);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Row(local, i), Row(back, i)) << i;
}

INSTANTIATE_TEST_SUITE_P(
    KZeqNode, Veltrix,
    ::testing::Values(
        VeltrixCase{"IdentityParent", KZeqXMatrix(), TRS({1, 2, 3, 0}, {10, 20, 30, 0}, {2, 3, 4, 0}), {1, 2, 3},
                    {2, 3, 4}},
        VeltrixCase{"ScaledParent", TRS({2, 0, 0, 0}, {}, {2, 2, 2, 0}), TRS({1, 0, 0, 0}, {}, {1, 1, 1, 0}),
                    {4, 0, 0}, {2, 2, 2}},
        VeltrixCase{"TurnedParentScalesPerAxis", TRS({}, {0, 0, 90, 0}, {2, 1, 1, 0}),
                    TRS({1, 0, 0, 0}, {}, {3, 5, 7, 0}), {0, 2, 0}, {6, 5, 7}},
        VeltrixCase{"GimbalLock", KZeqXMatrix(), TRS({}, {0, 90, 0, 0}, {2, 2, 2, 0}), {0, 0, 0}, {2, 2, 2}},
        VeltrixCase{"NearAQuarterTurn", TRS({}, {0, 0, 10, 0}, {1, 1, 1, 0}),
                    TRS({1, 0, 0, 0}, {30, -89.95, 20, 0}, {2, 2, 2, 0}), {0.984807753, 0.173648178, 0}, {2, 2, 2}},
        VeltrixCase{"MirroredChild", KZeqXMatrix(), TRS({}, {}, {-1, -2, -3, 0}), {0, 0, 0}, {-1, -2, -3}}),
    [](const ::testing::TestParamInfo<VeltrixCase>& info) { return std::string(info.param.mName); });

TEST(KZeqNodeVeltrix, ZeroParentScaleGivesZeroNotInfinity) {
    KZeqXMatrix parent = TRS({}, {}, {0, 2, 2, 0}), global = TRS({1, 1, 1, 0}, {0, 30, 0, 0}, {2, 2, 2, 0}), local;
    KZeqNode::ComputeLocalMatrixVeltrixStyle(local, parent, global);
    for (int i = 0; i < 4; ++i)
        for (double x : Row(local, i)) EXPECT_TRUE(std::isfinite(x)) << i;
    EXPECT_EQ(Values({0, 1, 1}), XYZ(local.GetS()));
}
