#include "content/kzeqlight.h"

#include "base/karray.h"
#include "content/kzeqanimatedproperty.h"
#include "content/kzeqgobo.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqLightProperties, KObject, "KZeqLightProperties")

namespace {

constexpr const char* kLightTypeTexts[] = {"Point Light", "Infinite Light", "Spot Light"};

constexpr const char* kColorChannel = "Color";
constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};
constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

// The one-value channels with the value every take starts from and their
// display colours.
struct ValueRow {
    const char* mName;
    float mStart;
    float mColor[3];
};
constexpr ValueRow kValues[] = {{"Intensity", 100.0f, {0.97f, 0.91f, 0.11f}},
                                {"Cone angle", 45.0f, {0.82f, 0.10f, 0.71f}},
                                {"Fog", 50.0f, {0.82f, 0.38f, 0.10f}}};
constexpr float kColorStart = 1.0f;

}  // namespace

KZeqLightProperties::KZeqLightProperties() {
    PropertyAddToList(&LightType);
    LightType.SetPropertyType(kPropertyTypeEnum);
    LightType.SetPropertyInfo("LightType", this, &KZeqLightProperties::LightTypeGet,
                              &KZeqLightProperties::LightTypeSet);
    LightType.GetPropertyInfo().SetAsStringFunc(&KZeqLightProperties::LightTypeAsString);
    PropertyAddToList(&CastLightOnObject);
    CastLightOnObject.SetPropertyType(kPropertyTypeBool);
    CastLightOnObject.SetPropertyInfo("CastLightOnObject", this, &KZeqLightProperties::CastLightOnObjectGet,
                                      &KZeqLightProperties::CastLightOnObjectSet);
    mColor = KZeqAddAnimatedProperty(*this, "Color", "Color");
    mIntensity = KZeqAddAnimatedProperty(*this, "Intensity", "Intensity");
    mConeAngle = KZeqAddAnimatedProperty(*this, "Cone angle", "Cone angle");
    mFog = KZeqAddAnimatedProperty(*this, "Fog", "Fog");
}

const char* KZeqLightProperties::LightTypeAsString(KZeqLightTypes::ELightType type) {
    return type >= 0 && type < 3 ? kLightTypeTexts[type] : nullptr;
}

// ---- Light ---------------------------------------------------------------------------------

KZeqLight::KZeqLight(KZeqSdkManager& manager) : KZeqNodeAttribute(manager), mProperties(new KZeqLightProperties) {
    SetCastLight(true);
    SetLightType(ePOINT);
    SetDefaultColor(KZeqColor(1.0, 1.0, 1.0, 1.0));
    SetDefaultIntensity(100.0);
    SetDefaultConeAngle(45.0);
    SetDefaultFog(50.0);
}

KZeqLight::~KZeqLight() {
    // A node must not keep pointing at a light that ends, nor its entity at the gobo's reference.
    if (KZeqNode* node = GetNode()) node->SetNodeAttribute(nullptr);
    mProperties->Destroy();
}

KZeqEntity* KZeqLight::Entity() const {
    KZeqNode* node = GetNode();
    return node ? node->GetEntity() : nullptr;
}

bool KZeqLight::SetGobo(KZeqGobo* gobo) {
    KZeqEntity* entity = Entity();
    if (mGobo && entity) entity->RemoveGobo(mGobo);
    mGobo = nullptr;
    if (!gobo) return true;
    if (entity && !entity->AddGobo(gobo)) return false;
    mGobo = gobo;
    return true;
}

void KZeqLight::SetNode(KZeqNode& node) {
    KZeqNodeAttribute::SetNode(node);
    if (KZeqEntity* entity = Entity())
        if (mGobo) entity->AddGobo(mGobo);
}

void KZeqLight::UnsetNode() {
    if (KZeqEntity* entity = Entity())
        if (mGobo) entity->RemoveGobo(mGobo);
    KZeqNodeAttribute::UnsetNode();
}

// ---- Default values ---------------------------------------------------------------------------

KFCurve* KZeqLight::DefaultCurve(const char* group, const char* name) const {
    KZeqNode* node = GetNode();
    KZeqTakeNode* take = node ? node->GetDefaultTakeNode() : nullptr;
    return take ? take->GetKFCurve(nullptr, group, name) : nullptr;
}

KProperty* KZeqLight::ValueProperty(EValue which) const {
    KProperty* const properties[eValueCount] = {mProperties->mIntensity, mProperties->mConeAngle, mProperties->mFog};
    return properties[which];
}

void KZeqLight::SetDefaultValue(EValue which, double value) {
    if (KFCurve* curve = DefaultCurve(nullptr, kValues[which].mName)) curve->SetValue(KPropertyDoubleToFloat(value));
    if (KProperty* property = ValueProperty(which)) property->SetDouble(value);
}

double KZeqLight::GetDefaultValue(EValue which) const {
    if (KFCurve* curve = DefaultCurve(nullptr, kValues[which].mName)) return curve->GetValue();
    KProperty* property = ValueProperty(which);
    return property ? property->AsDouble() : 0.0;
}

void KZeqLight::SetDefaultColor(const KZeqColor& color) {
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    for (int i = 0; i < 3; ++i)
        if (KFCurve* curve = DefaultCurve(kColorChannel, kAxisNames[i]))
            curve->SetValue(KPropertyDoubleToFloat(rgb[i]));
    if (mProperties->mColor) mProperties->mColor->SetDataFromDoubles(rgb, 3);
}

KZeqColor& KZeqLight::GetDefaultColor(KZeqColor& color) const {
    double rgb[kPropertyMaxMembers] = {0.0, 0.0, 0.0, 0.0};
    if (mProperties->mColor) mProperties->mColor->GetDataAsDoubles(rgb, kPropertyMaxMembers);
    double* out[3] = {&color.mRed, &color.mGreen, &color.mBlue};
    for (int i = 0; i < 3; ++i) {
        KFCurve* curve = DefaultCurve(kColorChannel, kAxisNames[i]);
        *out[i] = curve ? curve->GetValue() : rgb[i];
    }
    return color;
}

// ---- Channels and object model ------------------------------------------------------------------

void KZeqLight::AddChannels(KZeqTakeNode* take) {
    KZeqNodeAttribute::AddChannels(take);
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    if (!root) return;
    // The curves start from the properties (the constructor's values unless
    // set since), so that values set before attaching answer after it.
    double rgb[kPropertyMaxMembers] = {kColorStart, kColorStart, kColorStart, 0.0};
    if (mProperties->mColor) mProperties->mColor->GetDataAsDoubles(rgb, kPropertyMaxMembers);
    if (KFCurveNode* group = root->FindOrCreate(kColorChannel, false)) {
        for (int i = 0; i < 3; ++i) {
            KFCurveNode* axis = group->FindOrCreate(kAxisNames[i], true);
            if (KFCurve* curve = axis ? axis->FCurveGet() : nullptr) {
                curve->SetValue(KPropertyDoubleToFloat(rgb[i]));
                curve->SetColor(kAxisColors[i]);
            }
        }
    }
    for (int which = 0; which < eValueCount; ++which) {
        const ValueRow& row = kValues[which];
        KFCurveNode* channel = root->FindOrCreate(row.mName, true);
        if (KFCurve* curve = channel ? channel->FCurveGet() : nullptr) {
            KProperty* property = ValueProperty(static_cast<EValue>(which));
            curve->SetValue(property ? KPropertyDoubleToFloat(property->AsDouble()) : row.mStart);
            curve->SetColor(row.mColor);
        }
    }
}

void KZeqLight::RemoveChannels(KZeqTakeNode* take) {
    if (KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr) {
        for (const char* name : {kColorChannel, kValues[0].mName, kValues[1].mName, kValues[2].mName}) {
            const int index = root->Find(name);
            if (index >= 0) root->Delete(index);
        }
    }
    KZeqNodeAttribute::RemoveChannels(take);
}

void KZeqLight::FillPropertyList(void* list) {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i)
        static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProperties->GetProperty(i));
}

KStringList KZeqLight::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Light");
    return flags;
}

KZeqLight& KZeqLight::operator=(KZeqLight& other) {
    SetLightType(other.GetLightType());
    SetGobo(other.GetGobo());
    SetCastLight(other.GetCastLight());
    return *this;
}

}  // namespace zeqsdk_400
