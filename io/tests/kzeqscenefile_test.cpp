// Scenes of nodes through both writers in their three encodings and back,
// compared field by field with what each form keeps.

#include <gtest/gtest.h>

#include "content/kzeqgenericnode.h"
#include "content/kzeqmarker.h"
#include "content/kzeqnull.h"
#include "content/kzeqopticalreference.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

const KTime kSecond(46186158000LL);

KTime Seconds(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    return time;
}

void Key(KFCurve* curve, double seconds, float value, unsigned interpolation = KFCURVE_INTERPOLATION_CUBIC,
         unsigned tangent = KFCURVE_TANGEANT_USER, float slope = 0.5f) {
    KFCurveKey key;
    key.Set(Seconds(seconds), value, interpolation, tangent, slope, -slope, KFCURVE_WEIGHTED_NONE, 0.3333333f,
            0.3333333f, 0.0f, 0.0f);
    curve->KeyAdd(Seconds(seconds), key);
}

KZeqUserProperty* AddUserProperty(KZeqSdkManager& manager, KZeqObject& object, const char* name, const char* type,
                                  const char* label) {
    KZeqUserProperty* property = manager.CreateKZeqUserProperty(name, type, label);
    property->ModifyFlag(KZeqUserProperty::eUSER, true);
    property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    object.AddProperty(property);
    return property;
}

// A tree of every simple attribute kind, hidden and shaded nodes, user
// properties of the six types, a generic node and two animated takes.
struct SceneFileTest : ::testing::TestWithParam<ZeqFileCase> {
    SceneFileTest() {
        KZeqNode* root = mScene->GetRootNode();
        KZeqNode* hips = Node(root, "Hips", Skeleton(KZeqSkeleton::eROOT, 7.0));
        KZeqNode* spine = Node(hips, "Spine", Skeleton(KZeqSkeleton::eLIMB_NODE, 3.5));
        KZeqSkeleton* arm = Skeleton(KZeqSkeleton::eLIMB, 2.0);
        arm->SetLimbLength(12.5), arm->SetLimbNodeColor(KZeqColor(0.25, 0.5, 0.75, 1.0));
        Node(Node(spine, "Arm", arm), "Tip", Skeleton(KZeqSkeleton::eEFFECTOR, 1.0));
        KZeqNull* null = mManager.CreateKZeqNull();
        null->SetSize(42.0);
        KZeqNode* hidden = Node(root, "Hidden", null);
        hidden->SetVisibility(false), hidden->SetShadingMode(KZeqNode::eWIRE_FRAME);
        hidden->SetCullingType(KZeqNode::eCULLING_ON_CW), hidden->SetMultiLayer(true);
        KZeqNode* markers = Node(root, "Markers", nullptr);
        markers->SetShadingMode(KZeqNode::eLIGHT_TEXTURE_SHADING), markers->SetMultiTakeMode(KZeqNode::eNO_MULTI_TAKE);
        for (int type = 0; type < 4; ++type) {
            KZeqMarker* marker = mManager.CreateKZeqMarker();
            marker->SetType(static_cast<KZeqMarker::EType>(type));
            marker->SetLook(static_cast<KZeqMarker::ELook>(3 - type)), marker->SetSize(10.0 + type);
            marker->SetColor(KZeqColor(0.1 * type, 0.2, 0.3, 1.0)), marker->SetShowLabel(type % 2 == 1);
            KZeqVector4 pivot(type, 2.0, 3.0, 1.0);
            marker->SetIKPivot(pivot);
            Node(markers, ("Marker" + std::to_string(type)).c_str(), marker);
            if (type == 2) marker->SetDefaultIKReachTranslation(0.75), marker->SetDefaultIKReachRotation(0.25);
        }
        Node(markers, "Reference", mManager.CreateKZeqOpticalReference());
        KZeqNode* props = Node(root, "Props", nullptr);
        props->SetDefaultT(KZeqVector4(1, 2, 3, 1)), props->SetDefaultR(KZeqVector4(10, 20, 30, 1));
        props->SetDefaultS(KZeqVector4(1, 2, 0.5, 1));
        AddUserProperty(mManager, *props, "Flag (Bool)", "Bool", "")->SetDefaultValue(true);
        KZeqUserProperty* weight = AddUserProperty(mManager, *props, "Weight (Real)", "Real", "How heavy");
        weight->SetDefaultValue(0.5), weight->SetLimits(-1.0, 2.0);
        KZeqColor tint(0.25, 0.5, 1.0, 1.0);
        AddUserProperty(mManager, *props, "Tint (Color)", "Color", "")->SetDefaultValue(tint);
        KZeqUserProperty* count = AddUserProperty(mManager, *props, "Count (Integer)", "Integer", "");
        count->SetDefaultValue(7), count->SetMinLimit(0.0);
        AddUserProperty(mManager, *props, "Offset", "Vector", "")->SetDefaultValue(1.0, -2.0, 3.0);
        AddUserProperty(mManager, *props, "Note (Unidentified)", "Unidentified", "");
        KZeqGenericNode* generic = mManager.CreateKZeqGenericNode("Settings");
        mScene->AddGenericNode(generic);
        AddUserProperty(mManager, *generic, "Gain (Real)", "Real", "")->SetDefaultValue(3.0);

        for (const char* take : {"Walk", "Run"}) mScene->CreateTake(take);
        generic->CreateTakeNode("Walk");
        Animate(*props, "Walk", 0.0), Animate(*spine, "Walk", 1.0), Animate(*hidden, "Run", 2.0);
        generic->SetCurrentTakeNode("Walk");
        Key(generic->GetCurrentTakeNode()->GetPropertyAnimation(generic->FindPropertyByName("Gain (Real)"), 0), 1.0, 4.0f);
        generic->SetCurrentTakeNode(0);
        props->SetCurrentTakeNode("Run");
        Key(props->GetCurrentTakeNode()->GetPropertyAnimation(weight, 0), 0.5, 1.5f);
        props->SetCurrentTakeNode(0);
        KZeqTakeInfo walk;
        walk.mName = "Walk", walk.mDescription = "a walk", walk.mLocalTimeSpan = KTimeSpan(KTime(0), kSecond * 2);
        walk.mReferenceTimeSpan = KTimeSpan(KTime(-5), kSecond);
        mScene->SetTakeInfo(walk);
        mScene->SetCurrentTake("Walk");
    }
    KZeqNode* Node(KZeqNode* parent, const char* name, KZeqNodeAttribute* attribute) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        if (attribute) node->SetNodeAttribute(attribute);
        parent->AddChild(node);
        return node;
    }
    KZeqSkeleton* Skeleton(KZeqSkeleton::ESkeletonType type, double size) {
        KZeqSkeleton* skeleton = mManager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(type), skeleton->SetLimbNodeSize(size);
        if (type == KZeqSkeleton::eLIMB_NODE) skeleton->SetLimbNodeColor(KZeqColor(1.0, 0.0, 0.5, 1.0));
        return skeleton;
    }
    // Translation, rotation, scaling and visibility keys of every kind.
    void Animate(KZeqNode& node, const char* take, double offset) {
        node.SetCurrentTakeNode(take);
        KZeqTakeNode* t = node.GetCurrentTakeNode();
        Key(t->GetTranslationX(), offset, 1.0f), Key(t->GetTranslationX(), offset + 1.0, 2.0f);
        Key(t->GetTranslationY(), offset + 0.5, -3.0f, KFCURVE_INTERPOLATION_LINEAR, 0);
        Key(t->GetEulerRotationZ(), offset, 90.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f);
        Key(t->GetScaleX(), offset + 0.25, 2.0f, KFCURVE_INTERPOLATION_CONSTANT, 0);
        Key(t->GetVisibility(), offset, 0.0f, KFCURVE_INTERPOLATION_CONSTANT, 0), Key(t->GetVisibility(), offset + 1, 1.0f);
        node.SetCurrentTakeNode(0);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

}  // namespace

TEST_P(SceneFileTest, NodeTreeWithPropertiesAndTakes) {
    const ZeqFileCase& form = GetParam();
    const std::string path = mDir / "nodes.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*mScene, *read, form.mLosses).Report());
    // The "Run" take had no spans: both were computed from its keys.
    const KZeqTakeInfo* run = read->GetTakeInfo("Run");
    ASSERT_NE(nullptr, run);
    EXPECT_EQ(Seconds(0.5), run->mLocalTimeSpan.GetStart());
    EXPECT_EQ(Seconds(3.0), run->mReferenceTimeSpan.GetStop());
}
INSTANTIATE_TEST_SUITE_P(Forms, SceneFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);
