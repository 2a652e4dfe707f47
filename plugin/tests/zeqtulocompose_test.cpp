// Composing a change of a node's transform into its children, checked against the host's own
// evaluation: a parent whose part before the rotation changes (its post-rotation turned, its
// scaling left out) and a child of each kind of pivot set; the child keeps its world matrix exactly
// where PivotsHold says it does, and loses it where it says not.
#include "zeqtulo_test_support.h"

#include <cmath>
#include <string>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "plugin/zeqtulocompose.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

const KZeqNode::EPivotSet kSet = KZeqNode::eSOURCE_SET;

// The host transform the import makes of a file node: its default values, its rotation order and
// its pivot set 0 (the rotate axis undoing the post-rotation, a joint's orient the pre-rotation).
void ToHost(const KZeqNode& node, const TObject& object) {
    TFnTransform host(object);
    KZeqVector4 t, r, s;
    node.GetDefaultT(t), node.GetDefaultR(r), node.GetDefaultS(s);
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(kSet, order);
    const int hostOrder[] = {1, 4, 2, 5, 3, 6};  // XYZ, XZY, YZX, YXZ, ZXY, ZYX
    host.setRotationOrder(hostOrder[order], false);
    const double angles[3] = {r[0] * M_PI / 180, r[1] * M_PI / 180, r[2] * M_PI / 180};
    host.setRotation(angles, hostOrder[order]);
    host.setTranslation(TVector(t[0], t[1], t[2]), TSpace::kTransform);
    const double scaling[3] = {s[0], s[1], s[2]};
    host.setScale(scaling);
    const auto point = [](const KZeqVector4& v) { return TPoint(v[0], v[1], v[2]); };
    host.setRotatePivot(point(node.GetRotationPivot(kSet)), TSpace::kTransform, false);
    host.setRotatePivotTranslation(TVector(point(node.GetRotationOffset(kSet))), TSpace::kTransform);
    host.setScalePivot(point(node.GetScalingPivot(kSet)), TSpace::kTransform, false);
    host.setScalePivotTranslation(TVector(point(node.GetScalingOffset(kSet))), TSpace::kTransform);
    const KZeqVector4& post = node.GetPostRotation(kSet);
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, inverse[4][4];
    KmXYZtoR(m, post[0], post[1], post[2]);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) inverse[i][j] = m[j][i];
    double axis[3];
    KmRtoVXYZ(axis, inverse);
    ZeqTuloUtility::SetRotateAxis(host, TPoint(axis[0], axis[1], axis[2]));
    ZeqTuloUtility::SetJointOrient(host, point(node.GetPreRotation(kSet)));
}

bool SameWorld(const TMatrix& a, const TMatrix& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            // The file's values are single precision.
            if (std::fabs(a.matrix[i][j] - b.matrix[i][j]) > 1e-5 * std::max(1.0, std::fabs(a.matrix[i][j])))
                return false;
    return true;
}

struct ChildCase {
    const char* name;
    const char* pivots;  // the child's: "post", "pre", "rotation pivot", "scaling pivot", "order", ""
    bool scaleLeftOut;   // the parent's scaling leaves its file node (else it is 2 on each axis)
    bool uniform;        // that scaling is 2 on each axis, else (1, 2, 3)
    bool holds;  // PivotsHold, and the child keeps its world matrix
};

void PrintTo(const ChildCase& c, std::ostream* out) { *out << c.name; }

const ChildCase kCases[] = {
    // The turn alone (a rigid change): the parts before the child's rotation stay out of its way.
    {"PostRotationUnderATurn", "post", false, false, true},
    {"ScalingPivotUnderATurn", "scaling pivot", false, false, true},
    {"NoPivotsUnderATurn", "", false, false, true},
    // Between the rotation and the translation, or a rotation read in another order: off.
    {"PreRotationUnderATurn", "pre", false, false, false},
    {"RotationPivotUnderATurn", "rotation pivot", false, false, false},
    {"RotationOrderUnderATurn", "order", false, false, false},
    // A scaling that is not uniform reaches a post-rotation; a uniform one reaches a scaling pivot.
    {"NoPivotsUnderAScaling", "", true, false, true},
    {"PostRotationUnderAUniformScaling", "post", true, true, true},
    {"PostRotationUnderAScaling", "post", true, false, false},
    {"ScalingPivotUnderAUniformScaling", "scaling pivot", true, true, false},
};

class ComposeTest : public HostTest, public ::testing::WithParamInterface<ChildCase> {
protected:
    ZeqTuloNode* Add(KZeqNode* parent, const char* name) {
        ZeqTuloNode* node = mManager.CreateZeqTuloNode(name, nullptr);
        node->SetPivotState(kSet, KZeqNode::ePIVOT_STATE_ACTIVE);
        if (parent) parent->AddChild(node);
        return node;
    }
    ZeqTuloSdkManager mManager{ZeqTuloSdkManager::eImport};
};

// The parent turns (its post-rotation gains a quarter turn, as the import's camera does) and, in
// some cases, its scaling goes (as the export's camera's does); the child takes the correction.
TEST_P(ComposeTest, ChildKeepsItsPlaceWherePivotsHold) {
    const ChildCase& c = GetParam();
    ZeqTuloNode* root = Add(nullptr, "root");
    ZeqTuloNode* parent = Add(root, "parent");
    parent->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    parent->SetDefaultR(KZeqVector4(10, 20, 30, 0));
    parent->SetDefaultS(c.scaleLeftOut && !c.uniform ? KZeqVector4(1, 2, 3, 0) : KZeqVector4(2, 2, 2, 0));
    parent->SetScalingPivot(kSet, KZeqVector4(0.5, 0, 0, 0));
    parent->SetRotationPivot(kSet, KZeqVector4(0, 1, 0, 0));
    parent->SetPostRotation(kSet, KZeqVector4(0, 0, 15, 0));
    ZeqTuloNode* child = Add(parent, "child");
    child->SetDefaultT(KZeqVector4(1, 1, 1, 0));
    child->SetDefaultR(KZeqVector4(0, 0, 0, 0));
    const std::string pivots = c.pivots;
    if (pivots == "post") child->SetPostRotation(kSet, KZeqVector4(0, -90, 0, 0));
    if (pivots == "pre") child->SetPreRotation(kSet, KZeqVector4(30, 0, 0, 0));
    if (pivots == "rotation pivot") child->SetRotationPivot(kSet, KZeqVector4(0, 0, 2, 0));
    if (pivots == "scaling pivot") child->SetScalingPivot(kSet, KZeqVector4(0, 3, 0, 0));
    if (pivots == "order") {
        child->SetRotationOrder(kSet, eEULER_ZYX);
        child->SetDefaultR(KZeqVector4(20, 30, 40, 0));
    }

    TFnTransform make;
    const TObject hostParent = make.create();
    const TObject hostChild = pivots == "pre" ? TFnIkJoint().create(hostParent) : make.create(hostParent);
    ToHost(*parent, hostParent);
    ToHost(*child, hostChild);
    TDagPath childPath;
    ASSERT_TRUE(TDagPath::getAPathTo(hostChild, childPath));
    const TMatrix before = childPath.inclusiveMatrix();

    KZeqVector4 scaling;
    parent->GetDefaultS(scaling);
    const KZeqXMatrix from = BeforeRotation(*parent, scaling);
    parent->SetPostRotation(kSet, KZeqVector4(0, 90, 15, 0));
    if (c.scaleLeftOut) parent->SetDefaultS(KZeqVector4(1, 1, 1, 0));
    parent->GetDefaultS(scaling);
    const KZeqXMatrix above = ChildrenCorrection(from, BeforeRotation(*parent, scaling));
    EXPECT_EQ(PivotsHold(*child, above), c.holds);
    const std::vector<std::string> notes = ComposeIntoChildren(*parent, above, "the change of parent");
    ToHost(*parent, hostParent);
    ToHost(*child, hostChild);
    EXPECT_EQ(SameWorld(childPath.inclusiveMatrix(), before), c.holds);
    // The log says so where it does not hold, and only there.
    bool said = false;
    for (const std::string& note : notes) said = said || note.find("without its pivots") != std::string::npos;
    EXPECT_EQ(said, !c.holds);
}

INSTANTIATE_TEST_SUITE_P(Children, ComposeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ChildCase>& info) { return info.param.name; });

// A rotation a hair from gimbal lock (the middle angle 0.05 degree from 90) composed with a move
// keeps its matrix: its angles are decomposed exactly, not as the lock's.
TEST(ComposeIntoLocalTest, CloseToGimbalLock) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateZeqTuloNode("near", nullptr);
    node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    node->SetDefaultR(KZeqVector4(10, 89.95, 20, 0));
    node->SetDefaultS(KZeqVector4(1, 2, 3, 0));
    KZeqVector4 t, r, s;
    node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
    const KZeqXMatrix before(t, r, s);
    KZeqXMatrix move;
    move.mData[3][0] = 5;
    bool exact = false;
    ComposeIntoLocal(*node, move, &exact);
    EXPECT_TRUE(exact);
    node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
    const KZeqXMatrix after(t, r, s), want = move * before;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(after.mData[i][j], want.mData[i][j], 1e-6) << i << j;
}

// A node mirrored on one axis keeps its scaling's signs through a turn composed into it, at the
// lock as away from it: a scaling pivot scales about the same point only under the same scaling.
TEST(ComposeIntoLocalTest, MirroredKeepsItsSigns) {
    for (const KZeqVector4& rotation : {KZeqVector4(10, 20, 30, 0), KZeqVector4(0, 90, 0, 0)}) {
        ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
        KZeqNode* node = manager.CreateZeqTuloNode("mirrored", nullptr);
        node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        node->SetDefaultR(rotation);
        node->SetDefaultS(KZeqVector4(1.5, 2, -0.5, 0));
        KZeqVector4 t, r, s;
        node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
        const KZeqXMatrix before(t, r, s);
        // A turn about Z and a move: the locked node's X axis, along Z, stays at the lock.
        KZeqXMatrix above(KZeqVector4(5, 0, 0, 0), KZeqVector4(0, 0, 40, 0), KZeqVector4(1, 1, 1, 0));
        bool exact = false;
        ComposeIntoLocal(*node, above, &exact);
        EXPECT_TRUE(exact);
        node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
        EXPECT_NEAR(s[0], 1.5, 1e-9);
        EXPECT_NEAR(s[1], 2, 1e-9);
        EXPECT_NEAR(s[2], -0.5, 1e-9);
        const KZeqXMatrix after(t, r, s), want = above * before;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(after.mData[i][j], want.mData[i][j], 1e-6) << i << j << " turned " << rotation[1];
    }
}

// A node turned in another order than XYZ, keyed: its keys, like its default values, are read
// and written as X-first angles (its rotation order takes no part), so each key holds the composed
// matrix of its own values.
TEST(ComposeIntoLocalTest, KeysComposeAsTheDefaultValuesInAnyOrder) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateZeqTuloNode("keyed", nullptr);
    node->SetRotationOrder(kSet, eEULER_ZYX);
    node->SetDefaultR(KZeqVector4(15, -25, 35, 0));
    KZeqTakeNode* take = node->CreateTakeNode("Take 001");
    KFCurve* curves[9] = {take->GetTranslationX(),   take->GetTranslationY(),   take->GetTranslationZ(),
                          take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                          take->GetScaleX(),         take->GetScaleY(),         take->GetScaleZ()};
    const float keyed[2][9] = {{1, 2, 3, 30, 50, -70, 1, 2, 1}, {-1, 0, 4, 120, -40, 10, 1.5f, 1, 0.5f}};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 9; ++i) {
            KFCurveKey key{};
            key.Set(KTime(), keyed[k][i], KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0,
                    KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curves[i]->KeyAdd(KTime(k * KTime::kTicksPerSecond), key);
        }
    node->SetCurrentTakeNode("Take 001");
    const auto matrixOf = [](const double* v) {
        return KZeqXMatrix(KZeqVector4(v[0], v[1], v[2], 0), KZeqVector4(v[3], v[4], v[5], 0),
                           KZeqVector4(v[6], v[7], v[8], 0));
    };
    const KZeqXMatrix above(KZeqVector4(5, 0, 0, 0), KZeqVector4(0, 0, 40, 0), KZeqVector4(1, 1, 1, 0));
    KZeqVector4 t, r, s;
    node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
    const KZeqXMatrix heldBefore(t, r, s);
    EXPECT_EQ(2u, ComposeIntoLocal(*node, above));
    for (int k = 0; k < 2; ++k) {
        double before[9], after[9];
        for (int i = 0; i < 9; ++i) {
            before[i] = keyed[k][i];
            after[i] = curves[i]->Evaluate(KTime(k * KTime::kTicksPerSecond));
        }
        const KZeqXMatrix got = matrixOf(after), want = above * matrixOf(before);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(got.mData[i][j], want.mData[i][j], 1e-5) << "key " << k << i << j;
    }
    node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s);
    const KZeqXMatrix held(t, r, s), heldWant = above * heldBefore;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(held.mData[i][j], heldWant.mData[i][j], 1e-6) << "default " << i << j;
}

}  // namespace
