// A channel that does not move, as the motion readers' constant-key reducer leaves it (a curve
// holding its value and no key), is written by every format writer as that value: a scene whose
// constant channels hold no key writes the same bytes as the scene whose same channels hold that
// value in one key, in an animated scene and in a still one. The channels differ from the nodes'
// defaults, of every kind a writer reads: joints' and nodes' translation, rotation and scaling,
// lights' colour and cone, cameras' field of view and roll, and targets.

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekey.h"
#include "fcurve/kfcurvenode.h"
#include "formats/tests/kzeqwriterrows.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {
namespace zeqwritertest {
namespace {

constexpr int kFrames = 12;

// Every curve of the tree without keys, depth first.
void KeylessCurves(KFCurveNode* node, std::vector<KFCurve*>& out) {
    if (!node) return;
    if (KFCurve* curve = node->FCurveGet(); curve && curve->KeyGetCount() == 0) out.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) KeylessCurves(node->Get(i), out);
}

class ConstantChannels : public ExportRowTest {
protected:
    // For the skeleton rows a chain of joints whose second joint holds constant translation and
    // scaling, its third and its leaf a constant turn; for the others a mesh and a null below an animated null,
    // an omnilight, a spotlight and a camera with targets, each channel of theirs constant at a
    // value other than its default.
    void Build(bool still) {
        if (GetParam().mSkeleton)
            BuildSkeleton(still);
        else
            BuildNodes(still);
    }
    // Still, the chain holds one frame.
    void BuildSkeleton(bool still) {
        zeqmotiontest::ChainSpec spec;
        spec.mFrames = still ? 1 : kFrames;
        const zeqmotiontest::Chain chain = zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
        KZeqTakeNode* second = chain.mNodes[1]->GetCurrentTakeNode();
        Hold(second->GetTranslationX(), 3.5), Hold(second->GetTranslationY(), 12.25);
        Hold(second->GetScaleX(), 1.5), Hold(second->GetScaleY(), 1.5), Hold(second->GetScaleZ(), 1.5);
        KZeqTakeNode* third = chain.mNodes[2]->GetCurrentTakeNode();
        Hold(third->GetEulerRotationX(), 30.0), Hold(third->GetEulerRotationZ(), -25.0);
        KZeqTakeNode* leaf = chain.mNodes[3]->GetCurrentTakeNode();
        Hold(leaf->GetEulerRotationX(), 15.0), Hold(leaf->GetEulerRotationY(), -40.0), Hold(leaf->GetEulerRotationZ(), 0.0);
    }
    // Still, without the animated null.
    void BuildNodes(bool still) {
        KZeqNode* mover = Node("Mover", nullptr);
        KFCurve* x = mover->GetCurrentTakeNode()->GetTranslationX();
        for (int f = 0; f < kFrames && !still; ++f) x->KeyAppendFast(Frame(f), static_cast<float>(f));
        KZeqNode* box = Node("Box", mover);
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(3);
        for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i == 1, i == 2, 0, 1);
        mesh->BeginPolygon();
        for (int i : {0, 1, 2}) mesh->AddPolygon(i);
        mesh->EndPolygon();
        box->SetNodeAttribute(mesh);
        HoldTransform(box, {4, 5, 6}, {10, 20, 30}, {2, 2, 2});
        HoldTransform(Node("Empty", box), {-1, 2, -3}, {0, 45, 0}, {1, 1, 1});

        KZeqNode* omni = Node("Omni", nullptr);
        omni->SetNodeAttribute(Light(KZeqLight::ePOINT));
        HoldTransform(omni, {7, 8, 9}, {0, 0, 0}, {1, 1, 1});
        HoldColour(omni->GetCurrentTakeNode(), 0.25, 0.5, 0.75);

        KZeqNode* spot = Node("Spot", nullptr);
        spot->SetNodeAttribute(Light(KZeqLight::eSPOT));
        HoldTransform(spot, {0, 10, 0}, {-60, 0, 0}, {1, 1, 1});
        HoldColour(spot->GetCurrentTakeNode(), 0.9, 0.1, 0.3);
        Hold(spot->GetCurrentTakeNode()->GetLightConeAngle(), 33.0);
        KZeqNode* aim = Node("Aim", nullptr);
        HoldTransform(aim, {1, -2, 3}, {0, 0, 0}, {1, 1, 1});
        spot->SetTarget(aim);

        KZeqNode* camera = Node("Cam", nullptr);
        KZeqCamera* lens = mManager.CreateKZeqCamera();
        lens->SetApertureMode(KZeqCamera::eHORIZONTAL);
        camera->SetNodeAttribute(lens);
        HoldTransform(camera, {-5, 4, 20}, {0, 0, 0}, {1, 1, 1});
        Hold(camera->GetCurrentTakeNode()->GetCameraFieldOfView(), 62.0);
        Hold(camera->GetCurrentTakeNode()->GetCameraRoll(), 12.0);
        KZeqNode* look = Node("Look", nullptr);
        HoldTransform(look, {2, 3, -4}, {0, 0, 0}, {1, 1, 1});
        camera->SetTarget(look);
    }

    static KTime Frame(int f) {
        KTime time;
        time.SetSecondDouble(f / 30.0);
        return time;
    }
    // A node below parent (the root when null) with the take "Take 001" current.
    KZeqNode* Node(const char* name, KZeqNode* parent) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        (parent ? parent : mScene->GetRootNode())->AddChild(node);
        node->CreateTakeNode("Take 001");
        node->SetCurrentTakeNode("Take 001");
        return node;
    }
    KZeqLight* Light(KZeqLight::ELightType type) {
        KZeqLight* light = mManager.CreateKZeqLight();
        light->SetLightType(type);
        return light;
    }
    // The curve without keys, holding value.
    static void Hold(KFCurve* curve, double value) {
        ASSERT_NE(curve, nullptr);
        curve->KeyClear();
        curve->SetValue(static_cast<float>(value));
    }
    using Triple = std::array<double, 3>;
    static void HoldTransform(KZeqNode* node, const Triple& t, const Triple& r, const Triple& s) {
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* const curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                    take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                                    take->GetScaleX(),       take->GetScaleY(),       take->GetScaleZ()};
        const Triple* const values[3] = {&t, &r, &s};
        for (int c = 0; c < 9; ++c) Hold(curves[c], (*values[c / 3])[c % 3]);
    }
    static void HoldColour(KZeqTakeNode* take, double r, double g, double b) {
        Hold(take->GetColorR(), r), Hold(take->GetColorG(), g), Hold(take->GetColorB(), b);
    }

    // Every curve of the current takes that holds no key gets one key of its value, at time 0.
    void KeyTheConstantChannels() {
        std::vector<KFCurve*> curves;
        std::vector<KZeqNode*> pending{mScene->GetRootNode()};
        while (!pending.empty()) {
            KZeqNode* node = pending.back();
            pending.pop_back();
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            if (take && take != node->GetDefaultTakeNode()) KeylessCurves(take->GetKFCurveNode(), curves);
            for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        }
        ASSERT_GT(curves.size(), 20u);
        for (KFCurve* curve : curves) {
            curve->KeyModifyBegin(1);
            curve->KeyGetPtr(0)->Set(KTime(), curve->GetValue(), KFCURVE_INTERPOLATION_CONSTANT, 0, 0, 0, 0, 0, 0, 0, 0);
            curve->KeyModifyEnd(1);
        }
    }

    // The bytes the row writes (for AMC, the motion over the skeleton an ASF export leaves).
    std::string Written(const std::string& name) {
        const std::string path = (mOut / (name + "." + GetParam().mExtension)).string();
        EXPECT_TRUE(Export(path)) << mErrorText << " " << mMessage;
        return zeqtest::ReadFile(path);
    }
};

TEST_P(ConstantChannels, WrittenAsWhenKeyed) {
    for (bool still : {false, true}) {
        SCOPED_TRACE(still ? "still" : "animated");
        if (still) mScene = mManager.CreateKZeqScene();
        Build(still);
        std::filesystem::create_directories(mOut);
        const std::string keyless = Written("keyless");
        KeyTheConstantChannels();
        const std::string keyed = Written("keyed");
        ASSERT_FALSE(keyed.empty());
        EXPECT_TRUE(keyless == keyed) << "the constant channels without keys are written otherwise";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ConstantChannels,
                         testing::ValuesIn(ExportRowsWhere([](const ExportRow& row) { return !IsFieldFileRow(row); })),
                         ExportRowName);

}  // namespace
}  // namespace zeqwritertest
}  // namespace zeqsdk_400
