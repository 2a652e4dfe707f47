// Pivots and transform limits onto stand-in transforms.
#include "zeqtuloimport_animation_test_support.h"

#include "base/kgemath.h"
#include "scene/kzeqnodelimits.h"

using namespace zeqsdk_400;

namespace {

class PivotTest : public ImportAnimationTest {
protected:
    ZeqTuloNode* Pivoted(const char* type) {
        mPath = HostPath(type, "hip");
        mTransform.setObject(mPath);
        ZeqTuloNode* node = Node("hip", &mPath);
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, 0, 0));
        node->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 2, 3, 0));
        node->SetRotationOffset(KZeqNode::eSOURCE_SET, KZeqVector4(4, 5, 6, 0));
        node->SetScalingPivot(KZeqNode::eSOURCE_SET, KZeqVector4(-1, -2, -3, 0));
        node->SetScalingOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0.5, 0.25, 0.125, 0));
        return node;
    }
    TDagPath mPath;
    TFnTransform mTransform;
};

TEST_F(PivotTest, InactivePivotSetChangesNothing) {
    ZeqTuloNode* node = Pivoted("joint");
    node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    mTransform.setRotatePivot(TPoint(7, 7, 7), TSpace::kTransform, false);
    mImport->ImportPivots(mTransform, *node);
    TPoint orient;
    ZeqTuloUtility::GetJointOrient(mTransform, orient);
    EXPECT_TRUE(orient.isEquivalent(TPoint(0, 0, 0)));
    EXPECT_TRUE(mTransform.rotatePivot(TSpace::kTransform).isEquivalent(TPoint(7, 7, 7)));
}

TEST_F(PivotTest, TransformWithoutJointOrientStillGetsTheRest) {
    ZeqTuloNode* node = Pivoted("transform");
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(30, 0, 0, 0));
    mImport->ImportPivots(mTransform, *node);
    TPoint axis;
    ZeqTuloUtility::GetRotateAxis(mTransform, axis);
    EXPECT_TRUE(axis.isEquivalent(TPoint(-30, 0, 0), 1e-9));
    EXPECT_TRUE(mTransform.scalePivot(TSpace::kTransform).isEquivalent(TPoint(-1, -2, -3)));
}

struct AxisCase {
    std::string name;
    double post[3];
    double axis[3];
};

class RotateAxisTest : public PivotTest, public ::testing::WithParamInterface<AxisCase> {};

// The rotate axis holds the X-first angles of the inverse post-rotation.
TEST_P(RotateAxisTest, InverseOfThePostRotation) {
    ZeqTuloNode* node = Pivoted("joint");
    const double* p = GetParam().post;
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(p[0], p[1], p[2], 0));
    mImport->ImportPivots(mTransform, *node);
    TPoint axis;
    ZeqTuloUtility::GetRotateAxis(mTransform, axis);
    EXPECT_NEAR(axis.x, GetParam().axis[0], 1e-6);
    EXPECT_NEAR(axis.y, GetParam().axis[1], 1e-6);
    EXPECT_NEAR(axis.z, GetParam().axis[2], 1e-6);
}

INSTANTIATE_TEST_SUITE_P(PostRotations, RotateAxisTest,
                         ::testing::Values(AxisCase{"Zero", {0, 0, 0}, {0, 0, 0}},
                                           AxisCase{"AboutX", {30, 0, 0}, {-30, 0, 0}},
                                           AxisCase{"GimbalUp", {0, 90, 0}, {0, -90, 0}},
                                           AxisCase{"GimbalDown", {0, -90, 0}, {0, 90, 0}},
                                           AxisCase{"XAndZ", {90, 0, 90}, {-90, -90, 0}},
                                           AxisCase{"General", {10, 20, 30}, {1.116055, -22.242181, -28.451775}}),
                         CaseName());

// A rotate axis within a hundredth of a degree of a quarter turn about Y still undoes the
// post-rotation to the doubles' rounding: an Euler decomposition that takes such a turn for the
// quarter turn itself leaves up to a thousandth of a radian in the node and every node below.
TEST_F(PivotTest, RotateAxisNearAQuarterTurnAboutYUndoesThePostRotation) {
    double axis[4][4] = {}, post[4][4] = {};
    KmXYZtoR(axis, 128.99, 90.0078, 31.26);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) post[i][j] = axis[j][i];
    double angles[3];
    KmRtoVXYZ(angles, post);  // far from a quarter turn about Y: exact
    ZeqTuloNode* node = Pivoted("transform");
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], 0));
    mImport->ImportPivots(mTransform, *node);
    TPoint got;
    ZeqTuloUtility::GetRotateAxis(mTransform, got);
    double undo[4][4] = {};
    KmXYZtoR(undo, got.x, got.y, got.z);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(undo[i][j], axis[i][j], 1e-9) << i << j;
}

// ---- Limits.

class LimitTest : public ImportAnimationTest {
protected:
    ZeqTuloNode* Limited(const char* name, const TObject& parent = TObject()) {
        mPath = HostPath("transform", name, parent);
        mTransform.setObject(mPath);
        return Node(name, &mPath);
    }
    static void SetLimit(KZeqLimits& limit, KZeqVector4 min, KZeqVector4 max, bool minOn[3], bool maxOn[3]) {
        limit.SetLimitMin(min);
        limit.SetLimitMax(max);
        limit.SetLimitMinActive(minOn[0], minOn[1], minOn[2]);
        limit.SetLimitMaxActive(maxOn[0], maxOn[1], maxOn[2]);
    }
    static std::vector<std::string> LimitCommands() {
        std::vector<std::string> out;
        for (const std::string& c : SentCommands())
            if (c.rfind("transformLimits", 0) == 0) out.push_back(c);
        return out;
    }
    TDagPath mPath;
    TFnTransform mTransform;
};

TEST_F(LimitTest, ExampleOfATranslationLimit) {
    TObject group = standin::createNode("transform", "group1");
    ZeqTuloNode* node = Limited("box", group);
    bool minOn[3] = {true, true, false}, maxOn[3] = {true, false, false};
    SetLimit(node->GetLimits().mTranslationLimits, KZeqVector4(-1, 0, 0, 0), KZeqVector4(1, 5, 0, 0), minOn, maxOn);
    node->GetLimits().SetTranslationLimitActive(true);
    mImport->ImportLimits(mTransform, *node);
    EXPECT_EQ(LimitCommands(), std::vector<std::string>({"transformLimits -tx -1 1 -etx 1 1 |group1|box",
                                                          "transformLimits -ty 0 5 -ety 1 0 |group1|box",
                                                          "transformLimits -tz 0 0 -etz 0 0 |group1|box"}));
    EXPECT_TRUE(mTransform.isLimited(TFnTransform::kTranslateMinX));
    EXPECT_EQ(mTransform.limitValue(TFnTransform::kTranslateMaxY), 5.0);
}

TEST_F(LimitTest, NoActiveLimitSendsNothing) {
    ZeqTuloNode* node = Limited("box");
    bool on[3] = {true, true, true};
    SetLimit(node->GetLimits().mRotationLimits, KZeqVector4(-1, -1, -1, 0), KZeqVector4(1, 1, 1, 0), on, on);
    mImport->ImportLimits(mTransform, *node);
    EXPECT_TRUE(SentCommands().empty());
    EXPECT_FALSE(mImport->mAttributeEditorChecked);
}

TEST_F(LimitTest, AllThreeTypesInOrder) {
    ZeqTuloNode* node = Limited("box");
    bool on[3] = {true, true, true};
    KZeqNodeLimits& limits = node->GetLimits();
    SetLimit(limits.mTranslationLimits, KZeqVector4(-1, -2, -3, 0), KZeqVector4(1, 2, 3, 0), on, on);
    SetLimit(limits.mRotationLimits, KZeqVector4(-10, -20, -30, 0), KZeqVector4(10, 20, 30, 0), on, on);
    SetLimit(limits.mScalingLimits, KZeqVector4(0.5, 0.5, 0.5, 0), KZeqVector4(2, 2, 2, 0), on, on);
    limits.SetTranslationLimitActive(true);
    limits.SetRotationLimitActive(true);
    limits.SetScalingLimitActive(true);
    mImport->ImportLimits(mTransform, *node);
    const std::vector<std::string> sent = LimitCommands();
    ASSERT_EQ(sent.size(), 9u);
    const char* const flags[] = {"-tx", "-ty", "-tz", "-rx", "-ry", "-rz", "-sx", "-sy", "-sz"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(sent[i].rfind(std::string("transformLimits ") + flags[i] + " ", 0), 0u);
    EXPECT_NEAR(mTransform.limitValue(TFnTransform::kRotateMaxZ), 30 * M_PI / 180, 1e-12);
}

struct OrderCase {
    std::string name;
    bool minOn, maxOn;
    std::string command;  // empty: not sent
};

class LimitOrderTest : public LimitTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(LimitOrderTest, MinimumAboveMaximum) {
    ZeqTuloNode* node = Limited("box");
    bool minOn[3] = {GetParam().minOn, false, false}, maxOn[3] = {GetParam().maxOn, false, false};
    SetLimit(node->GetLimits().mScalingLimits, KZeqVector4(10, 1, 1, 0), KZeqVector4(2, 1, 1, 0), minOn, maxOn);
    node->GetLimits().SetScalingLimitActive(true);
    mImport->ImportLimits(mTransform, *node);
    const std::vector<std::string> sent = LimitCommands();
    ASSERT_EQ(sent.size(), GetParam().command.empty() ? 2u : 3u);
    if (!GetParam().command.empty()) {
        EXPECT_EQ(sent[0], GetParam().command);
        EXPECT_TRUE(LogLines().empty());
    } else {
        EXPECT_EQ(LogLines(), std::vector<std::string>({"Warning: box: the scaling limit on X has its minimum above its "
                                                         "maximum or is not a number; that limit was not set."}));
    }
    // The node keeps its own bounds.
    EXPECT_EQ(node->GetLimits().mScalingLimits.GetLimitMin()[0], 10.0);
    EXPECT_EQ(node->GetLimits().mScalingLimits.GetLimitMax()[0], 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, LimitOrderTest,
    ::testing::Values(OrderCase{"MaximumOff", true, false, "transformLimits -sx 10 10 -esx 1 0 |box"},
                      OrderCase{"MinimumOff", false, true, "transformLimits -sx 2 2 -esx 0 1 |box"},
                      OrderCase{"BothOff", false, false, "transformLimits -sx 10 10 -esx 0 0 |box"},
                      // The host refuses an enabled minimum above the maximum: a warning instead.
                      OrderCase{"BothOn", true, true, ""}),
    CaseName());

struct EditorCase {
    std::string name;
    bool batch;
    int docked, visible;
    std::vector<std::string> before, after;  // the commands around the first node's limit commands
};

class AttributeEditorTest : public LimitTest, public ::testing::WithParamInterface<EditorCase> {};

TEST_P(AttributeEditorTest, HiddenAroundTheFirstLimitedNodeOnly) {
    const EditorCase& c = GetParam();
    standin::setBatch(c.batch);
    run("optionVar -iv aeInMainWindow " + std::to_string(c.docked));
    run("setAttributeEditorVisible " + std::to_string(c.visible));
    standin::clearTranscript();
    bool on[3] = {true, true, true};
    ZeqTuloNode* first = Limited("first");
    SetLimit(first->GetLimits().mTranslationLimits, KZeqVector4(0, 0, 0, 0), KZeqVector4(1, 1, 1, 0), on, on);
    first->GetLimits().SetTranslationLimitActive(true);
    TFnTransform firstTransform = mTransform;
    ZeqTuloNode* second = Limited("second");
    SetLimit(second->GetLimits().mTranslationLimits, KZeqVector4(0, 0, 0, 0), KZeqVector4(1, 1, 1, 0), on, on);
    second->GetLimits().SetTranslationLimitActive(true);

    mImport->ImportLimits(firstTransform, *first);
    std::vector<std::string> sent = SentCommands();
    ASSERT_EQ(sent.size(), c.before.size() + 3 + c.after.size());
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + c.before.size()), c.before);
    EXPECT_EQ(std::vector<std::string>(sent.end() - c.after.size(), sent.end()), c.after);
    EXPECT_EQ(mImport->mAttributeEditorChecked, !c.batch);

    standin::clearTranscript();
    mImport->ImportLimits(mTransform, *second);
    sent = SentCommands();
    // Batch mode asks again at every limited node; interactive mode only once.
    EXPECT_EQ(sent.size(), c.batch ? 4u : 3u);
    standin::setBatch(false);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AttributeEditorTest,
    ::testing::Values(
        EditorCase{"DockedVisible", false, 1, 1,
                   {"about -b", "optionVar -q aeInMainWindow", "isAttributeEditorVisible",
                    "optionVar -iv aeInMainWindow 0;setAttributeEditorVisible 0"},
                   {"openAEWindow;refreshAE;optionVar -iv aeInMainWindow 1;setAttributeEditorVisible 1"}},
        EditorCase{"DockedHidden", false, 1, 0,
                   {"about -b", "optionVar -q aeInMainWindow", "isAttributeEditorVisible",
                    "optionVar -iv aeInMainWindow 0;setAttributeEditorVisible 0"},
                   {"openAEWindow;refreshAE;optionVar -iv aeInMainWindow 1;setAttributeEditorVisible 1",
                    "setChannelBoxVisible(1)"}},
        EditorCase{"NotDocked", false, 0, 1, {"about -b", "optionVar -q aeInMainWindow"}, {}},
        EditorCase{"Batch", true, 1, 1, {"about -b"}, {}}),
    CaseName());

}  // namespace
