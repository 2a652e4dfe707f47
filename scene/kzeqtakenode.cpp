#include "scene/kzeqtakenode.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqTakeNode::eErrorCount] = {"Curve not found"};

constexpr int kReferenceContainer = KFCURVENODE_CONTAINER;

// Reference containers list nodes owned elsewhere: the nested ones are ended
// from the inside out, last first, before the tree itself.
void DeleteRecursive(KFCurveNode* node) {
    for (int i = node->GetCount() - 1; i >= 0; --i) {
        KFCurveNode* child = node->Get(i);
        if (child->GetContainerType() != kReferenceContainer) continue;
        DeleteRecursive(child);
        node->Delete(i);
    }
}

struct LclName {
    const char* mProperty;
    const char* mNode;
};
constexpr LclName kLclNames[] = {{"Lcl Translation", "T"}, {"Lcl Rotation", "R"}, {"Lcl Scaling", "S"}};

// What a curve holds beyond its keys and default, kept across a rewrite.
struct CurveLook {
    explicit CurveLook(KFCurve& curve)
        : mPre(curve.GetPreExtrapolation()),
          mPreCount(curve.GetPreExtrapolationCount()),
          mPost(curve.GetPostExtrapolation()),
          mPostCount(curve.GetPostExtrapolationCount()) {
        std::memcpy(mColor, curve.GetColor(), sizeof mColor);
    }
    void Restore(KFCurve& curve) const {
        curve.SetColor(mColor);
        curve.SetPreExtrapolation(mPre);
        curve.SetPreExtrapolationCount(mPreCount);
        curve.SetPostExtrapolation(mPost);
        curve.SetPostExtrapolationCount(mPostCount);
    }
    float mColor[3];
    int mPre;
    unsigned mPreCount;
    int mPost;
    unsigned mPostCount;
};

}  // namespace

KString GetEffectivePropertyName(KString name) {
    for (const LclName& row : kLclNames)
        if (name == row.mProperty) return KString(row.mNode);
    return name;
}

KFCurveNode* FindPropertyChannel(KFCurveNode* root, const char* name) {
    if (!root) return nullptr;
    if (!name) name = "";
    for (const LclName& row : kLclNames) {
        if (std::strcmp(name, row.mProperty) != 0) continue;
        KFCurveNode* transform = root->Get(root->Find("Transform"));
        return transform ? transform->Get(transform->Find(row.mNode)) : root->FindRecursive(row.mNode);
    }
    return root->Get(root->Find(name));
}

KFCurveNode* FindPropertyChannel(KFCurveNode* root, const KString& name) {
    // A name holding a zero byte is none of the local transform's.
    if (std::strlen(name.Buffer()) != name.GetLen()) return root ? root->Get(root->Find(name.Buffer())) : nullptr;
    return FindPropertyChannel(root, name.Buffer());
}

KZeqTakeNode::KZeqTakeNode(const char* name)
    : mName(name), mRoot(KFCurveNodeCreate("Defaults")), mError(kErrorTable, eErrorCount) {}

KZeqTakeNode::KZeqTakeNode(KZeqTakeNode& other)
    : mName(other.mName), mRoot(other.mRoot->Clone(false)), mError(kErrorTable, eErrorCount) {}

KZeqTakeNode::~KZeqTakeNode() {
    if (mRoot->GetContainerType() == kReferenceContainer) DeleteRecursive(mRoot);
    mRoot->Destroy();
}

bool KZeqTakeNode::GetAnimationInterval(KTime& start, KTime& stop) { return mRoot->GetAnimationInterval(start, stop); }

KFCurveNode* KZeqTakeNode::FindPath(const char* group, const char* node) const {
    KFCurveNode* current = mRoot;
    for (const char* name : {group, node}) {
        if (!name) continue;
        current = current->FindRecursive(name);
        if (!current) return nullptr;
    }
    return current;
}

KFCurve* KZeqTakeNode::Found(KFCurveNode* node) {
    KFCurve* curve = node ? node->FCurveGet() : nullptr;
    if (!curve) mError.SetLastErrorID(eCurveNotFound);
    return curve;
}

KFCurve* KZeqTakeNode::GetKFCurve(const char* group, const char* node, const char* channel) {
    KFCurveNode* found = FindPath(group, node);
    if (found && channel) found = found->FindRecursive(channel);
    return Found(found);
}

KFCurve* KZeqTakeNode::GetKFCurve(const char* group, const char* node, KDataType* channel) {
    KFCurveNode* found = FindPath(group, node);
    if (found && channel) found = found->FindRecursive(channel);
    return Found(found);
}

bool KZeqTakeNode::IsChannelAnimated(const char* group, const char* node, const char* channel) {
    KFCurve* curve = GetKFCurve(group, node, channel);
    return curve && curve->KeyGetCount() > 0;
}

bool KZeqTakeNode::IsChannelAnimated(const char* group, const char* node, KDataType* channel) {
    KFCurve* curve = GetKFCurve(group, node, channel);
    return curve && curve->KeyGetCount() > 0;
}

// The fixed paths of the standard channels.
KFCurve* KZeqTakeNode::GetTranslationX() { return GetKFCurve("Transform", "T", "X"); }
KFCurve* KZeqTakeNode::GetTranslationY() { return GetKFCurve("Transform", "T", "Y"); }
KFCurve* KZeqTakeNode::GetTranslationZ() { return GetKFCurve("Transform", "T", "Z"); }
KFCurve* KZeqTakeNode::GetEulerRotationX() { return GetKFCurve("Transform", "R", "X"); }
KFCurve* KZeqTakeNode::GetEulerRotationY() { return GetKFCurve("Transform", "R", "Y"); }
KFCurve* KZeqTakeNode::GetEulerRotationZ() { return GetKFCurve("Transform", "R", "Z"); }
KFCurve* KZeqTakeNode::GetScaleX() { return GetKFCurve("Transform", "S", "X"); }
KFCurve* KZeqTakeNode::GetScaleY() { return GetKFCurve("Transform", "S", "Y"); }
KFCurve* KZeqTakeNode::GetScaleZ() { return GetKFCurve("Transform", "S", "Z"); }
KFCurve* KZeqTakeNode::GetVisibility() { return GetKFCurve(nullptr, nullptr, &KDataTypeVisibility); }
KFCurve* KZeqTakeNode::GetColorR() { return GetKFCurve(nullptr, "Color", "X"); }
KFCurve* KZeqTakeNode::GetColorG() { return GetKFCurve(nullptr, "Color", "Y"); }
KFCurve* KZeqTakeNode::GetColorB() { return GetKFCurve(nullptr, "Color", "Z"); }
KFCurve* KZeqTakeNode::GetLightIntensity() { return GetKFCurve(nullptr, nullptr, "Intensity"); }
KFCurve* KZeqTakeNode::GetLightConeAngle() { return GetKFCurve(nullptr, nullptr, "Cone angle"); }
KFCurve* KZeqTakeNode::GetLightFog() { return GetKFCurve(nullptr, nullptr, "Fog"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfView() { return GetKFCurve(nullptr, nullptr, "FieldOfView"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfViewX() { return GetKFCurve(nullptr, nullptr, "FieldOfViewX"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfViewY() { return GetKFCurve(nullptr, nullptr, "FieldOfViewY"); }
KFCurve* KZeqTakeNode::GetCameraOpticalCenterX() { return GetKFCurve(nullptr, nullptr, "OpticalCenterX"); }
KFCurve* KZeqTakeNode::GetCameraOpticalCenterY() { return GetKFCurve(nullptr, nullptr, "OpticalCenterY"); }
KFCurve* KZeqTakeNode::GetCameraRoll() { return GetKFCurve(nullptr, nullptr, "Roll"); }
KFCurve* KZeqTakeNode::GetCameraTurnTable() { return GetKFCurve(nullptr, nullptr, "TurnTable"); }
KFCurve* KZeqTakeNode::GetBackgroundColorR() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "X"); }
KFCurve* KZeqTakeNode::GetBackgroundColorG() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "Y"); }
KFCurve* KZeqTakeNode::GetBackgroundColorB() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "Z"); }
KFCurve* KZeqTakeNode::GetCameraIndex() { return GetKFCurve(nullptr, nullptr, "Camera Index"); }
KFCurve* KZeqTakeNode::GetOcclusion() { return GetKFCurve(nullptr, nullptr, &KDataTypeOcclusion); }
KFCurve* KZeqTakeNode::GetIKReachTranslation() { return GetKFCurve(nullptr, nullptr, &KDataTypeIKReachTranslation); }
KFCurve* KZeqTakeNode::GetIKReachRotation() { return GetKFCurve(nullptr, nullptr, &KDataTypeIKReachRotation); }
KFCurve* KZeqTakeNode::GetTextureTranslationX() { return GetKFCurve(nullptr, "Translation", "X"); }
KFCurve* KZeqTakeNode::GetTextureTranslationY() { return GetKFCurve(nullptr, "Translation", "Y"); }
KFCurve* KZeqTakeNode::GetTextureTranslationZ() { return GetKFCurve(nullptr, "Translation", "Z"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationX() { return GetKFCurve(nullptr, "Rotation", "X"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationY() { return GetKFCurve(nullptr, "Rotation", "Y"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationZ() { return GetKFCurve(nullptr, "Rotation", "Z"); }
KFCurve* KZeqTakeNode::GetTextureScaleX() { return GetKFCurve(nullptr, "Scaling", "X"); }
KFCurve* KZeqTakeNode::GetTextureScaleY() { return GetKFCurve(nullptr, "Scaling", "Y"); }
KFCurve* KZeqTakeNode::GetTextureScaleZ() { return GetKFCurve(nullptr, "Scaling", "Z"); }
KFCurve* KZeqTakeNode::GetTextureAlpha() { return GetKFCurve(nullptr, nullptr, "Alpha"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorR() { return GetKFCurve(nullptr, "Emissive", "X"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorG() { return GetKFCurve(nullptr, "Emissive", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorB() { return GetKFCurve(nullptr, "Emissive", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorR() { return GetKFCurve(nullptr, "Ambient", "X"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorG() { return GetKFCurve(nullptr, "Ambient", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorB() { return GetKFCurve(nullptr, "Ambient", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorR() { return GetKFCurve(nullptr, "Diffuse", "X"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorG() { return GetKFCurve(nullptr, "Diffuse", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorB() { return GetKFCurve(nullptr, "Diffuse", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorR() { return GetKFCurve(nullptr, "Specular", "X"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorG() { return GetKFCurve(nullptr, "Specular", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorB() { return GetKFCurve(nullptr, "Specular", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialOpacity() { return GetKFCurve(nullptr, nullptr, "Opacity"); }
KFCurve* KZeqTakeNode::GetMaterialReflectivity() { return GetKFCurve(nullptr, nullptr, "Reflectivity"); }
KFCurve* KZeqTakeNode::GetMaterialShininess() { return GetKFCurve(nullptr, nullptr, "Shininess"); }

KFCurve* KZeqTakeNode::GetPropertyAnimation(KZeqUserProperty* property, unsigned int channel) {
    if (!property) return nullptr;
    KFCurveNode* node = FindPropertyChannel(mRoot, property->GetName());
    if (!node) return nullptr;
    if (node->GetCount() == 0) return channel == 0 ? node->FCurveGet() : nullptr;
    return channel < static_cast<unsigned>(node->GetCount()) ? node->Get(static_cast<int>(channel))->FCurveGet()
                                                               : nullptr;
}

bool KZeqTakeNode::AddRotationToTranslation(KZeqVector4 rotation) {
    KFCurve* axes[3] = {GetTranslationX(), GetTranslationY(), GetTranslationZ()};
    if (!axes[0] || !axes[1] || !axes[2]) return false;
    int counts[3];
    for (int k = 0; k < 3; ++k) counts[k] = axes[k]->KeyGetCount();

    KZeqXMatrix matrix;
    matrix.SetR(rotation);
    const KZeqVector4 defaults =
        matrix.MultT(KZeqVector4(axes[0]->GetValue(), axes[1]->GetValue(), axes[2]->GetValue(), 0.0));

    // One merge over the three key lists: each time of their union is met
    // once, in order, and appended to every axis without a search.
    std::unique_ptr<KFCurve> rotated[3] = {std::make_unique<KFCurve>(), std::make_unique<KFCurve>(),
                                           std::make_unique<KFCurve>()};
    for (auto& curve : rotated) curve->KeyModifyBegin();
    int next[3] = {0, 0, 0};
    int hints[3] = {0, 0, 0};
    while (next[0] < counts[0] || next[1] < counts[1] || next[2] < counts[2]) {
        KTime time = KTime::Infinite();
        for (int k = 0; k < 3; ++k)
            if (next[k] < counts[k]) time = std::min(time, axes[k]->KeyGetPtr(next[k])->GetTime());
        for (int k = 0; k < 3; ++k)
            if (next[k] < counts[k] && axes[k]->KeyGetPtr(next[k])->GetTime() == time) ++next[k];
        const KZeqVector4 value = matrix.MultT(KZeqVector4(axes[0]->Evaluate(time, &hints[0]),
                                                           axes[1]->Evaluate(time, &hints[1]),
                                                           axes[2]->Evaluate(time, &hints[2]), 0.0));
        for (int k = 0; k < 3; ++k) rotated[k]->KeyAppendFast(time, static_cast<float>(value[k]));
    }
    for (auto& curve : rotated) curve->KeyModifyEnd();

    for (int k = 0; k < 3; ++k) {
        KFCurve& axis = *axes[k];
        // The channel keeps its own colour and extrapolation: only its values turn.
        const CurveLook look(axis);
        axis.KeyModifyBegin();
        axis.Delete(KTime::MinusInfinite(), KTime::Infinite());
        axis.CopyFrom(*rotated[k], true);
        look.Restore(axis);
        axis.SetValue(static_cast<float>(defaults[k]));
        axis.KeyModifyEnd();
    }
    return true;
}

}  // namespace zeqsdk_400
