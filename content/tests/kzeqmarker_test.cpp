#include "content/kzeqmarker.h"

#include <gtest/gtest.h>

#include <string>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// The marker channels among a take's top channels, in order.
std::string MarkerChannels(KZeqTakeNode* take) {
    std::string names;
    KFCurveNode* root = take->GetKFCurveNode();
    for (int i = 0; i < root->GetCount(); ++i) {
        const std::string name = root->Get(i)->GetName();
        if (name == "Occlusion" || name.rfind("IK Reach", 0) == 0) names += (names.empty() ? "" : ",") + name;
    }
    return names;
}

// A marker of the type on a node with a second take.
KZeqMarker* Attached(KZeqSdkManager& manager, KZeqMarker::EType type, KZeqNode*& node) {
    node = manager.CreateKZeqNode("m");
    node->CreateTakeNode("Take 001");
    KZeqMarker* marker = manager.CreateKZeqMarker();
    marker->SetType(type);
    node->SetNodeAttribute(marker);
    return marker;
}

}  // namespace

TEST(KZeqMarker, LookTextsAndTypeNames) {
    KZeqSdkManager manager;
    KZeqMarker* marker = manager.CreateKZeqMarker();
    const char* texts[] = {"Cube", "Hard Cross", "Light Cross", "Sphere"};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(texts[i], marker->GetPropertyHandler()->Look.GetValueAsString(i));
    EXPECT_EQ(nullptr, marker->GetPropertyHandler()->Look.GetValueAsString(4));
    const char* names[] = {"Marker", "OpticalMarker", "IKEffector", "FKEffector", "Marker"};
    for (int type : {0, 1, 2, 3, 9}) {
        marker->SetType(static_cast<KZeqMarker::EType>(type));
        EXPECT_STREQ(names[type > 3 ? 4 : type], marker->GetTypeName().Buffer());
        EXPECT_EQ(1, marker->GetTypeFlags().GetCount());
        EXPECT_STREQ("Marker", marker->GetTypeFlags().GetStringAt(0));
    }
}

TEST(KZeqMarker, OpticalMarkerTurnedIKEffectorKeepsOcclusionAndDefaultsReachOnlyTheDefaultTake) {
    KZeqSdkManager manager;
    KZeqNode* node;
    KZeqMarker* marker = Attached(manager, KZeqMarker::eOPTICAL_MARKER, node);
    EXPECT_EQ(0.75f, node->GetTakeNode(1)->GetOcclusion()->GetColor()[0]);
    marker->SetDefaultOcclusion(0.5);
    EXPECT_EQ(0.5, marker->GetDefaultOcclusion());
    EXPECT_EQ(0.0, node->GetTakeNode(1)->GetOcclusion()->GetValue());
    marker->SetDefaultIKReachTranslation(3.0);  // not this type's channel
    EXPECT_EQ(0.0, marker->GetDefaultIKReachTranslation());

    marker->SetType(KZeqMarker::eIK_EFFECTOR);
    marker->SetType(KZeqMarker::eIK_EFFECTOR);  // the same type: nothing
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ("Occlusion,IK Reach Translation,IK Reach Rotation", MarkerChannels(node->GetTakeNode(i)));
    marker->SetDefaultIKReachRotation(0.25);
    EXPECT_EQ(0.25, marker->GetDefaultIKReachRotation());
    EXPECT_EQ(0.0, marker->GetDefaultOcclusion());
    node->SetNodeAttribute(nullptr);  // detaching removes the current type's channels only
    EXPECT_EQ("Occlusion", MarkerChannels(node->GetTakeNode(0)));
    EXPECT_EQ(0.25, marker->GetDefaultIKReachRotation());  // kept on leaving the node
    marker->SetDefaultIKReachRotation(0.75);  // on no node: kept, and the channel's start once attached
    EXPECT_EQ(0.75, marker->GetDefaultIKReachRotation());
    node->SetNodeAttribute(marker);
    EXPECT_EQ(0.75f, node->GetDefaultTakeNode()->GetIKReachRotation()->GetValue());
    EXPECT_EQ(0.75, marker->GetDefaultIKReachRotation());
}

TEST(KZeqMarker, CopyTakesTypeValueAndDisplayButNeitherIKPivotNorChannels) {
    KZeqSdkManager manager;
    KZeqNode* node;
    KZeqMarker* to = Attached(manager, KZeqMarker::eMARKER, node);
    KZeqMarker* from = manager.CreateKZeqMarker();
    from->SetType(KZeqMarker::eOPTICAL_MARKER);
    from->SetLook(KZeqMarker::eSPHERE);
    from->SetColor(KZeqColor(0, 1, 0, 0.5));
    from->SetShowLabel(true);
    KZeqVector4 pivot(1, 2, 3, 0);
    from->SetIKPivot(pivot);
    *to = *from;
    EXPECT_EQ(std::vector<double>({1, 3, 1, 1}), std::vector<double>({double(to->GetType()), double(to->GetLook()),
                                                                      to->GetColor().mGreen, to->GetColor().mAlpha}));
    EXPECT_TRUE(to->GetShowLabel());
    EXPECT_EQ(KZeqVector4(0, 0, 0, 1), to->GetIKPivot());
    EXPECT_EQ("", MarkerChannels(node->GetTakeNode(0)));
    KZeqColor blue(0, 0, 1, 0.5), read;
    to->SetDefaultColor(blue);
    EXPECT_TRUE(to->GetDefaultColor(read).mBlue == 1.0 && read.mGreen == 0.0 && read.mAlpha == 1.0);
}

struct ModeCase {
    int mType;
    bool mMultiLayer;
    KZeqNode::EMultiTakeMode mMultiTake;
};

class MarkerModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(MarkerModes, NodeTakesItsModesFromTheMarkerTypeAndACopyCarriesThem) {
    KZeqSdkManager manager;
    KZeqNode* node;
    KZeqMarker* marker = Attached(manager, static_cast<KZeqMarker::EType>(GetParam().mType), node);
    KZeqNode* copy = manager.CreateKZeqNode("copy");
    *copy = *node;
    ASSERT_TRUE(copy->GetMarker() && copy->GetMarker() != marker);
    EXPECT_EQ(GetParam().mType, copy->GetMarker()->GetType());
    for (KZeqNode* n : {node, copy}) {
        EXPECT_EQ(GetParam().mMultiLayer, n->GetMultiLayer());
        EXPECT_EQ(GetParam().mMultiTake, n->GetMultiTakeMode());
        EXPECT_EQ(GetParam().mType == 1, n->GetTakeNode(1)->GetOcclusion() != nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(KZeqMarker, MarkerModes,
                         ::testing::Values(ModeCase{0, false, KZeqNode::eMULTI_TAKE},
                                           ModeCase{1, false, KZeqNode::eNO_MULTI_TAKE},
                                           ModeCase{2, true, KZeqNode::eMULTI_TAKE},
                                           ModeCase{3, true, KZeqNode::eMULTI_TAKE}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                             return "Type" + std::to_string(info.param.mType);
                         });
