#include "content/kzeqmaterial.h"

#include <utility>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqMaterialProperties, KZeqPropertyHandler, "KZeqMaterialProperties")

namespace {

const char* const kErrorTable[KZeqMaterial::eErrorCount] = {"Take node error"};

// The channels of the colours (emissive, ambient, diffuse, specular) and of
// the numbers (opacity, reflectivity, shininess) in a take, as its material
// accessors find them, with the values a material starts from.
constexpr const char* kColorChannels[4] = {"Emissive", "Ambient", "Diffuse", "Specular"};
constexpr double kColorDefaults[4] = {0.0, 0.2, 0.8, 0.2};
constexpr const char* kNumberChannels[3] = {"Opacity", "Reflectivity", "Shininess"};
constexpr double kNumberDefaults[3] = {1.0, 0.3, 6.4};
constexpr double kShininessScale = 128.0;

constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
constexpr float kValueColor[3] = {0.75f, 0.0f, 0.0f};

constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};

KFCurve* ColorCurve(KZeqTakeNode* take, int color, int axis) {
    return take ? take->GetKFCurve(nullptr, kColorChannels[color], kAxisNames[axis]) : nullptr;
}

KFCurve* NumberCurve(KZeqTakeNode* take, int number) {
    return take ? take->GetKFCurve(nullptr, nullptr, kNumberChannels[number]) : nullptr;
}

// To [0, 1]; NaN counts as 0.
double Clamp01(double value) {
    if (!(value >= 0.0)) return 0.0;
    return value > 1.0 ? 1.0 : value;
}

}  // namespace

// ---- Properties --------------------------------------------------------------------------

KZeqMaterialProperties::KZeqMaterialProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {
#define KZEQ_MATERIAL_BIND(Name, Type)                                   \
    PropertyAddToList(&Name);                                            \
    Name.SetPropertyType(KPropertyGetType(static_cast<Type*>(nullptr))); \
    Name.SetPropertyInfo(#Name, this, &KZeqMaterialProperties::Name##Get, &KZeqMaterialProperties::Name##Set);
    KZEQ_MATERIAL_BIND(Emissive, KgeRGBVector)
    KZEQ_MATERIAL_BIND(Ambient, KgeRGBVector)
    KZEQ_MATERIAL_BIND(Diffuse, KgeRGBVector)
    KZEQ_MATERIAL_BIND(Specular, KgeRGBVector)
    KZEQ_MATERIAL_BIND(Opacity, double)
    KZEQ_MATERIAL_BIND(Reflectivity, double)
    KZEQ_MATERIAL_BIND(Shininess, double)
#undef KZEQ_MATERIAL_BIND
    Emissive.Set(KgeRGBVector(0.0, 0.0, 0.0));
    Ambient.Set(KgeRGBVector(0.2, 0.2, 0.2));
    Specular.Set(KgeRGBVector(0.2, 0.2, 0.2));
    Diffuse.Set(KgeRGBVector(0.8, 0.8, 0.8));
    for (auto preset : {std::make_pair(&Opacity, 1.0), std::make_pair(&Reflectivity, 0.3),
                        std::make_pair(&Shininess, 6.4)})
        preset.first->SetData(&preset.second);
}

KZeqMaterial* KZeqMaterialProperties::GetKZeqMaterial() { return static_cast<KZeqMaterial*>(mOwner); }

void KZeqMaterialProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

bool KZeqMaterialProperties::PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index,
                                        KPlug* other, kConnectionType type, KPlug* replacement) {
    // Connected as a source of a node's property set: the material joins the
    // node's entity unless one of its name is listed there already.
    if (plug == this && action == kPlugDstConnected && other && other->Is(KZeqNodeProperties::ClassId)) {
        KZeqNode* node = static_cast<KZeqNodeProperties*>(other)->GetKZeqNode();
        KZeqEntity* entity = node ? node->GetEntity() : nullptr;
        KZeqMaterial* material = GetKZeqMaterial();
        if (entity && material && !entity->GetMaterial(KString(material->GetName()))) entity->AddMaterial(material);
    }
    return KObject::PlugNotify(callstack, action, plug, index, other, type, replacement);
}

// ---- Material ----------------------------------------------------------------------------

KZeqMaterial::KZeqMaterial(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &mError),
      mError(kErrorTable, eErrorCount),
      mProperties(new KZeqMaterialProperties(this)) {
    Init();
    mShadingModel = "phong";
}

KZeqMaterial::~KZeqMaterial() { mProperties->Destroy(0); }

void KZeqMaterial::Destruct() { mProperties->Destruct(); }

void KZeqMaterial::Reset() {
    KZeqTakeNodeContainer::Reset();
    mShadingModel = "phong";
    mMultiLayer = false;
}

void KZeqMaterial::SetColor(EColor which, const KZeqColor& color) {
    KZeqTakeNode* take = GetDefaultTakeNode();
    KFCurve* curves[3] = {};
    for (int i = 0; i < 3; ++i)
        if (!(curves[i] = ColorCurve(take, which, i))) return;
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    for (int i = 0; i < 3; ++i) curves[i]->SetValue(static_cast<float>(rgb[i]));
}

KZeqColor& KZeqMaterial::GetColor(EColor which, KZeqColor& color) const {
    KZeqTakeNode* take = GetDefaultTakeNode();
    double* rgb[3] = {&color.mRed, &color.mGreen, &color.mBlue};
    for (int i = 0; i < 3; ++i) {
        KFCurve* curve = ColorCurve(take, which, i);
        *rgb[i] = curve ? curve->GetValue() : kColorDefaults[which];
    }
    return color;
}

void KZeqMaterial::SetNumber(ENumber which, double value) {
    KZeqTakeNode* take = GetDefaultTakeNode();
    if (KFCurve* curve = NumberCurve(take, which)) curve->SetValue(static_cast<float>(value));
}

double KZeqMaterial::GetNumber(ENumber which) const {
    KZeqTakeNode* take = GetDefaultTakeNode();
    KFCurve* curve = NumberCurve(take, which);
    return curve ? curve->GetValue() : kNumberDefaults[which];
}

void KZeqMaterial::SetDefaultOpacity(double opacity) { SetNumber(kOpacity, Clamp01(opacity)); }
double KZeqMaterial::GetDefaultOpacity() const { return GetNumber(kOpacity); }
void KZeqMaterial::SetDefaultReflectivity(double reflectivity) { SetNumber(kReflectivity, reflectivity); }
double KZeqMaterial::GetDefaultReflectivity() const { return GetNumber(kReflectivity); }
void KZeqMaterial::SetDefaultShininess(double shininess) {
    SetNumber(kShininess, Clamp01(shininess) * kShininessScale);
}
double KZeqMaterial::GetDefaultShininess() const { return Clamp01(GetNumber(kShininess) * (1.0 / kShininessScale)); }

KZeqColor KZeqMaterial::GetAmbient() const {
    KZeqColor color;
    return GetDefaultAmbientColor(color);
}
KZeqColor KZeqMaterial::GetDiffuse() const {
    KZeqColor color;
    return GetDefaultDiffuseColor(color);
}
KZeqColor KZeqMaterial::GetSpecular() const {
    KZeqColor color;
    return GetDefaultSpecularColor(color);
}
KZeqColor KZeqMaterial::GetEmissive() const {
    KZeqColor color;
    return GetDefaultEmissiveColor(color);
}

KZeqMaterial& KZeqMaterial::operator=(KZeqMaterial& other) {
    if (this == &other) return *this;
    KZeqTakeNodeContainer::operator=(other);
    mShadingModel = other.mShadingModel;
    return *this;
}

bool KZeqMaterial::operator==(const KZeqMaterial& other) const {
    if (KString(GetName()).Compare(other.GetName()) != 0) return false;
    for (int which = kEmissive; which <= kSpecular; ++which) {
        KZeqColor a, b;
        GetColor(static_cast<EColor>(which), a);
        other.GetColor(static_cast<EColor>(which), b);
        if (a.mRed != b.mRed || a.mGreen != b.mGreen || a.mBlue != b.mBlue) return false;
    }
    return GetDefaultOpacity() == other.GetDefaultOpacity() && GetDefaultShininess() == other.GetDefaultShininess() &&
           GetDefaultReflectivity() == other.GetDefaultReflectivity() &&
           mShadingModel.CompareNoCase(other.mShadingModel.Buffer()) == 0;
}

// ---- Properties as user properties and channels -----------------------------------------------

void KZeqMaterial::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqMaterial::FillPropertyList(void* list) { FillHandlerPropertyList(*mProperties, list); }

void KZeqMaterial::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqMaterial::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

void KZeqMaterial::AddChannels(KZeqTakeNode* take) {
    if (!take) return;
    const bool isDefault = KString(take->GetName()).CompareNoCase("Default") == 0;
    const struct {
        const char* mName;
        KDataType* mDataType;
        bool mColor;
        double mDefault;
    } channels[] = {{"Emissive", &KDataTypeColor, true, kColorDefaults[kEmissive]},
                    {"Ambient", &KDataTypeColor, true, kColorDefaults[kAmbient]},
                    {"Diffuse", &KDataTypeColor, true, kColorDefaults[kDiffuse]},
                    {"Specular", &KDataTypeColor, true, kColorDefaults[kSpecular]},
                    {"Opacity", &KDataTypeNumber, false, kNumberDefaults[kOpacity]},
                    {"Reflectivity", &KDataTypeNumber, false, kNumberDefaults[kReflectivity]},
                    {"Shininess", &KDataTypeNumber, false, kNumberDefaults[kShininess]}};
    for (const auto& channel : channels) {
        double value[kPropertyMaxMembers] = {channel.mDefault, channel.mDefault, channel.mDefault};
        KProperty* property = mProperties->FindPropertyByName(channel.mName);
        if (property) {
            property->GetDataAsDoubles(value, kPropertyMaxMembers);
            property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
            property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
        }
        KFCurveNode* node = KFCurveNodeCreate(channel.mName, channel.mDataType, KFCL_ADD, 0);
        const int curves = channel.mColor ? 3 : 1;
        for (int i = 0; i < curves; ++i) {
            KFCurve* curve = KFCurveCreate();
            curve->SetValue(static_cast<float>(value[i]));
            curve->SetColor(channel.mColor ? kAxisColors[i] : kValueColor);
            if (channel.mColor) {
                KFCurveNode* child = KFCurveNodeCreate(kAxisNames[i]);
                child->FCurveSet(curve, false);
                if (isDefault) RegisterDefaultTakeCallback(property, i, curve);
                node->Add(child);
            } else {
                node->FCurveSet(curve, false);
                if (isDefault) RegisterDefaultTakeCallback(property, 0, curve);
            }
        }
        take->GetKFCurveNode()->Add(node);
    }
}

// ---- Materials in an entity: counted references ---------------------------------------------

KZeqMaterial* KZeqEntity::GetMaterial(int index) { return static_cast<KZeqMaterial*>(SharedAt(eMaterials, index)); }

KZeqMaterial* KZeqEntity::GetMaterial(const KString& name) {
    KZeqObject* material = FindSharedByName(eMaterials, name.Buffer());
    if (!material) mError.SetLastErrorID(eMaterialNotFound);
    return static_cast<KZeqMaterial*>(material);
}

int KZeqEntity::GetMaterialIndex(const KString& name) {
    int index = -1;
    if (!FindSharedByName(eMaterials, name.Buffer(), &index)) mError.SetLastErrorID(eMaterialNotFound);
    return index;
}

bool KZeqEntity::AddMaterial(KZeqMaterial* material) {
    if (!material) return false;
    AddShared(eMaterials, material);
    return true;
}

bool KZeqEntity::RemoveMaterial(KZeqMaterial* material) {
    return RemoveShared(eMaterials, material, eMaterialInUse, eMaterialNotFound);
}

}  // namespace zeqsdk_400
