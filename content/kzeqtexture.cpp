#include "content/kzeqtexture.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqTextureProperties, KZeqPropertyHandler, "KZeqTextureProperties")

namespace {

const char* const kErrorTable[KZeqTexture::eErrorCount] = {"Take node error"};

constexpr const char* kTextureUseTexts[] = {"Color",     "Spherical Reflection Map", "Sphere Map",
                                            "Shadow Map", "Light Map",                "Bump Map (NormalMap)"};
constexpr const char* kBlendModeTexts[] = {"Translucent", "Additive", "Modulate", "Modulate2"};
constexpr const char* kMappingTypeTexts[] = {"UV",          "Z",          "X",   "Y",    "Spherical", "Cylindrical",
                                             "Environment", "Projection", "Box", "Face", "None"};
constexpr const char* kWrapModeTexts[] = {"Repeat", "Clamp"};

// The stored six-code of each use SetTextureUse takes.
constexpr KZeqTexture::ETextureUse6 kTextureUseCodes[] = {
    KZeqTexture::eTEXTURE_USE_6_STANDARD,  KZeqTexture::eTEXTURE_USE_6_SHADOW_MAP,
    KZeqTexture::eTEXTURE_USE_6_LIGHT_MAP, KZeqTexture::eTEXTURE_USE_6_SPHERICAL_REFLEXION_MAP,
    KZeqTexture::eTEXTURE_USE_6_SPHERE_REFLEXION_MAP, KZeqTexture::eTEXTURE_USE_6_BUMP_NORMAL_MAP};
constexpr int kTextureUseCount = static_cast<int>(sizeof(kTextureUseCodes) / sizeof(kTextureUseCodes[0]));

// "CurrentMappingType" of each mapping type (planar follows the normal);
// types outside the table show no mapping.
constexpr KZeqTexture::EUnifiedMappingType kUnifiedOfMapping[] = {
    KZeqTexture::eUMT_NO_MAPPING, KZeqTexture::eUMT_NO_MAPPING, KZeqTexture::eUMT_SPHERICAL,
    KZeqTexture::eUMT_CYLINDRICAL, KZeqTexture::eUMT_BOX,       KZeqTexture::eUMT_FACE,
    KZeqTexture::eUMT_UV,          KZeqTexture::eUMT_ENVIRONMENT};
constexpr KZeqTexture::EUnifiedMappingType kUnifiedOfPlanarNormal[] = {KZeqTexture::eUMT_X, KZeqTexture::eUMT_Y,
                                                                      KZeqTexture::eUMT_Z};

template <std::size_t N>
const char* TextOf(const char* const (&texts)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) ? texts[value] : nullptr;
}

// The placement channels in a take, as its texture accessors find them.
constexpr const char* kPlacementChannels[3] = {"Translation", "Rotation", "Scaling"};
constexpr double kPlacementDefaults[3] = {0.0, 0.0, 1.0};
constexpr double kAlphaDefault = 1.0;

constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};
constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
constexpr float kValueColor[3] = {0.75f, 0.0f, 0.0f};

KFCurve* PlacementCurve(KZeqTakeNode* take, int which, int axis) {
    return take ? take->GetKFCurve(nullptr, kPlacementChannels[which], kAxisNames[axis]) : nullptr;
}

// A name up to its last character that is neither a digit nor white space.
std::string_view WithoutTrailingDigits(const char* name) {
    std::string_view text(name ? name : "");
    while (!text.empty() && (std::isdigit(static_cast<unsigned char>(text.back())) ||
                             std::isspace(static_cast<unsigned char>(text.back()))))
        text.remove_suffix(1);
    return text;
}

}  // namespace

KError KZeqTexture::smError(kErrorTable, KZeqTexture::eErrorCount);

// ---- Properties --------------------------------------------------------------------------

KZeqTextureProperties::KZeqTextureProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {
    mTranslation = AddAnimatedProperty("Translation", "Vector");
    mRotation = AddAnimatedProperty("Rotation", "Vector");
    mScaling = AddAnimatedProperty("Scaling", "Vector");
    mTextureAlpha = AddAnimatedProperty("Texture alpha", "Number");
    // The alpha the Default take's curve starts with.
    if (mTextureAlpha) mTextureAlpha->SetDouble(kAlphaDefault);

#define KZEQ_TEXTURE_BIND(Name, Type)                                    \
    PropertyAddToList(&Name);                                            \
    Name.SetPropertyType(KPropertyGetType(static_cast<Type*>(nullptr))); \
    Name.SetPropertyInfo(#Name, this, &KZeqTextureProperties::Name##Get, &KZeqTextureProperties::Name##Set);
    KZEQ_TEXTURE_BIND(TextureTypeUse, KZeqTexture::ETextureUse6)
    KZEQ_TEXTURE_BIND(CurrentTextureBlendMode, KZeqTexture::EBlendMode)
    KZEQ_TEXTURE_BIND(UseMaterial, bool)
    KZEQ_TEXTURE_BIND(UseMipMap, bool)
    KZEQ_TEXTURE_BIND(CurrentMappingType, KZeqTexture::EUnifiedMappingType)
    KZEQ_TEXTURE_BIND(UVSwap, bool)
    KZEQ_TEXTURE_BIND(WrapModeU, KZeqTexture::EWrapMode)
    KZEQ_TEXTURE_BIND(WrapModeV, KZeqTexture::EWrapMode)
    KZEQ_TEXTURE_BIND(TextureRotationPivot, KgeTVector)
    KZEQ_TEXTURE_BIND(TextureScalingPivot, KgeTVector)
#undef KZEQ_TEXTURE_BIND
    TextureTypeUse.GetPropertyInfo().SetAsStringFunc(&KZeqTextureProperties::TextureTypeUseAsString);
    CurrentTextureBlendMode.GetPropertyInfo().SetAsStringFunc(&KZeqTextureProperties::CurrentTextureBlendModeAsString);
    CurrentMappingType.GetPropertyInfo().SetAsStringFunc(&KZeqTextureProperties::CurrentMappingTypeAsString);
    WrapModeU.GetPropertyInfo().SetAsStringFunc(&KZeqTextureProperties::WrapModeUAsString);
    WrapModeV.GetPropertyInfo().SetAsStringFunc(&KZeqTextureProperties::WrapModeVAsString);

    PropertyAddToList(&VideoProperty);
    VideoProperty.Init();
    VideoProperty.SetPropertyInfo("VideoProperty", this, nullptr, nullptr);
    VideoProperty.SetPropertyType(kPropertyTypeObject);
    VideoProperty.SetFilter(KPlug_GetFilter(ClassId), 0);
    VideoProperty.SetContentSpec(1, ClassId);
    VideoProperty.SetDirection(KPlug::eDirectionSrc);
}

KProperty* KZeqTextureProperties::AddAnimatedProperty(const char* name, const char* dataTypeName) {
    KDataType* dataType = KDataTypeGet(dataTypeName);
    if (!dataType) return nullptr;
    KProperty* property =
        CreatePropertyFromType(name, DataTypeToPropertyType(dataType), dataType, false, false, nullptr);
    if (!property) return nullptr;
    property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    return property;
}

KZeqTexture* KZeqTextureProperties::GetKZeqTexture() { return static_cast<KZeqTexture*>(mOwner); }

void KZeqTextureProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

bool KZeqTextureProperties::PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index,
                                       KPlug* other, kConnectionType type, KPlug* replacement) {
    // Connected as a source of a node's property set: the texture joins the
    // node's entity unless one of its name is listed there already.
    if (plug == this && action == kPlugDstConnected && other && other->Is(KZeqNodeProperties::ClassId)) {
        KZeqNode* node = static_cast<KZeqNodeProperties*>(other)->GetKZeqNode();
        KZeqEntity* entity = node ? node->GetEntity() : nullptr;
        KZeqTexture* texture = GetKZeqTexture();
        if (entity && texture && !entity->GetTexture(KString(texture->GetName()))) entity->AddTexture(texture);
    }
    return KObject::PlugNotify(callstack, action, plug, index, other, type, replacement);
}

const char* KZeqTextureProperties::TextureTypeUseAsString(KZeqTexture::ETextureUse6 value) {
    return TextOf(kTextureUseTexts, value);
}
const char* KZeqTextureProperties::CurrentTextureBlendModeAsString(KZeqTexture::EBlendMode value) {
    return TextOf(kBlendModeTexts, value);
}
const char* KZeqTextureProperties::CurrentMappingTypeAsString(KZeqTexture::EUnifiedMappingType value) {
    return TextOf(kMappingTypeTexts, value);
}
const char* KZeqTextureProperties::WrapModeUAsString(KZeqTexture::EWrapMode value) {
    return TextOf(kWrapModeTexts, value);
}
const char* KZeqTextureProperties::WrapModeVAsString(KZeqTexture::EWrapMode value) {
    return TextOf(kWrapModeTexts, value);
}

// ---- Texture -----------------------------------------------------------------------------

KZeqTexture::KZeqTexture(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &smError), mProperties(new KZeqTextureProperties(this)) {
    KZeqTakeNodeContainer::Init();
    Init();
}

KZeqTexture::~KZeqTexture() { mProperties->Destroy(0); }

int KZeqTexture::GetClassID() { return KZeqTextureProperties::ClassId; }

void KZeqTexture::Init() {
    mCroppingLeft = mCroppingRight = mCroppingTop = mCroppingBottom = 0;
    mAlphaSource = eNONE;
    SetDefaultT(KZeqVector4(0.0, 0.0, 0.0, 1.0));
    SetDefaultR(KZeqVector4(0.0, 0.0, 0.0, 1.0));
    SetDefaultS(KZeqVector4(1.0, 1.0, 1.0, 1.0));
    mMappingType = eUV;
    mPlanarMappingNormal = ePLANAR_NORMAL_X;
    mProperties->UseMaterial.Value() = false;
    mProperties->UVSwap.Value() = false;
    mTextureType = "TextureVideoClip";
    mUVScaling.Set(1.0, 1.0);
    mUVTranslation.Set(0.0, 0.0);
    mProperties->TextureTypeUse.Value() = eTEXTURE_USE_6_STANDARD;
    mProperties->CurrentTextureBlendMode.Value() = eADDITIVE;
    mProperties->WrapModeU.Value() = eREPEAT;
    mProperties->WrapModeV.Value() = eREPEAT;
}

void KZeqTexture::Reset() {
    KZeqTakeNodeContainer::Reset();
    Init();
}

bool KZeqTexture::SetFileName(const char* name) {
    mFileName = name;
    return true;
}

bool KZeqTexture::SetRelativeFileName(const char* name) {
    mRelativeFileName = name;
    return true;
}

void KZeqTexture::SetSwapUV(bool swap) { mProperties->UVSwap.Value() = swap; }
bool KZeqTexture::GetSwapUV() const { return mProperties->UVSwap.Value(); }

void KZeqTexture::SetCropping(int left, int top, int right, int bottom) {
    mCroppingLeft = left;
    mCroppingTop = top;
    mCroppingRight = right;
    mCroppingBottom = bottom;
}

void KZeqTexture::SetMappingType(EMappingType type) {
    mMappingType = type;
    if (type == ePLANAR) {
        SetPlanarMappingNormal(mPlanarMappingNormal);
        return;
    }
    const bool known = type >= eNULL && type <= eENVIRONMENT;
    mProperties->CurrentMappingType.Value() = known ? kUnifiedOfMapping[type] : eUMT_NO_MAPPING;
}

void KZeqTexture::SetPlanarMappingNormal(EPlanarMappingNormal normal) {
    mPlanarMappingNormal = normal;
    if (mMappingType == ePLANAR && normal >= ePLANAR_NORMAL_X && normal <= ePLANAR_NORMAL_Z)
        mProperties->CurrentMappingType.Value() = kUnifiedOfPlanarNormal[normal];
}

void KZeqTexture::SetMaterialUse(EMaterialUse use) { mProperties->UseMaterial.Value() = use == eMODEL_MATERIAL; }
KZeqTexture::EMaterialUse KZeqTexture::GetMaterialUse() const {
    return mProperties->UseMaterial.Value() ? eMODEL_MATERIAL : eDEFAULT_MATERIAL;
}

void KZeqTexture::SetTextureUse(ETextureUse use) {
    mProperties->TextureTypeUse.Value() =
        use >= 0 && use < kTextureUseCount ? kTextureUseCodes[use] : eTEXTURE_USE_6_STANDARD;
}

KZeqTexture::ETextureUse KZeqTexture::GetTextureUse() const {
    const ETextureUse6 code = mProperties->TextureTypeUse.Value();
    for (int use = 1; use < kTextureUseCount; ++use)
        if (kTextureUseCodes[use] == code) return static_cast<ETextureUse>(use);
    return eSTANDARD;
}

void KZeqTexture::SetWrapMode(EWrapMode u, EWrapMode v) {
    mProperties->WrapModeU.Value() = u;
    mProperties->WrapModeV.Value() = v;
}
KZeqTexture::EWrapMode KZeqTexture::GetWrapModeU() const { return mProperties->WrapModeU.Value(); }
KZeqTexture::EWrapMode KZeqTexture::GetWrapModeV() const { return mProperties->WrapModeV.Value(); }

void KZeqTexture::SetBlendMode(EBlendMode mode) { mProperties->CurrentTextureBlendMode.Value() = mode; }
KZeqTexture::EBlendMode KZeqTexture::GetBlendMode() const {
    EBlendMode mode = eTRANSLUCENT;
    mProperties->CurrentTextureBlendMode.GetData(&mode);
    return mode;
}

// ---- Placement in the Default take -------------------------------------------------------------

void KZeqTexture::SetPlacement(EPlacement which, const KZeqVector4& value) {
    KZeqTakeNode* take = GetDefaultTakeNode();
    KFCurve* curves[3] = {};
    for (int i = 0; i < 3; ++i)
        if (!(curves[i] = PlacementCurve(take, which, i))) return;
    for (int i = 0; i < 3; ++i) curves[i]->SetValue(static_cast<float>(value[i]));
    KProperty* properties[3] = {mProperties->mTranslation, mProperties->mRotation, mProperties->mScaling};
    const double values[4] = {value[0], value[1], value[2], 1.0};
    if (properties[which]) properties[which]->SetData(values);
}

KZeqVector4& KZeqTexture::GetPlacement(EPlacement which, KZeqVector4& value) const {
    for (int i = 0; i < 3; ++i) value[i] = Placement(which, i);
    return value;
}

double KZeqTexture::Placement(EPlacement which, int axis) const {
    KZeqTakeNode* take = GetDefaultTakeNode();
    KFCurve* curve = PlacementCurve(take, which, axis);
    return curve ? curve->GetValue() : kPlacementDefaults[which];
}

void KZeqTexture::SetDefaultAlpha(double alpha) {
    KZeqTakeNode* take = GetDefaultTakeNode();
    KFCurve* curve = take ? take->GetTextureAlpha() : nullptr;
    if (!curve) return;
    curve->SetValue(static_cast<float>(alpha));
    if (mProperties->mTextureAlpha) mProperties->mTextureAlpha->SetDouble(alpha);
}

double KZeqTexture::GetDefaultAlpha() const {
    return mProperties->mTextureAlpha ? mProperties->mTextureAlpha->AsDouble() : kAlphaDefault;
}

// ---- Copy and comparison -------------------------------------------------------------------

KZeqTexture& KZeqTexture::operator=(KZeqTexture& other) {
    if (this == &other) return *this;
    KZeqTakeNodeContainer::operator=(other);
    SetFileName(other.GetFileName());
    mMediaName = other.mMediaName;
    SetSwapUV(other.GetSwapUV());
    mAlphaSource = other.mAlphaSource;
    SetCropping(other.mCroppingLeft, other.mCroppingTop, other.mCroppingRight, other.mCroppingBottom);
    SetMappingType(other.mMappingType);
    SetPlanarMappingNormal(other.mPlanarMappingNormal);
    SetMaterialUse(other.GetMaterialUse());
    mProperties->TextureTypeUse.Value() = other.mProperties->TextureTypeUse.Value();
    SetBlendMode(other.GetBlendMode());
    SetWrapMode(other.GetWrapModeU(), other.GetWrapModeV());
    mTextureType = other.mTextureType;
    mUVScaling = other.mUVScaling;
    mUVTranslation = other.mUVTranslation;
    return *this;
}

bool KZeqTexture::operator==(const KZeqTexture& other) const {
    if (WithoutTrailingDigits(GetName()) != WithoutTrailingDigits(other.GetName())) return false;
    const struct {
        EPlacement mWhich;
        int mAxis;
    } compared[] = {{kTranslation, 0}, {kTranslation, 1}, {kRotation, 0}, {kRotation, 1},
                    {kRotation, 2},    {kScaling, 0},     {kScaling, 1}};
    for (const auto& c : compared)
        if (Placement(c.mWhich, c.mAxis) != other.Placement(c.mWhich, c.mAxis)) return false;
    const KZeqTextureProperties& p = *mProperties;
    const KZeqTextureProperties& q = *other.mProperties;
    return GetDefaultAlpha() == other.GetDefaultAlpha() && mCroppingLeft == other.mCroppingLeft &&
           mCroppingRight == other.mCroppingRight && mCroppingTop == other.mCroppingTop &&
           mCroppingBottom == other.mCroppingBottom && mAlphaSource == other.mAlphaSource &&
           mMappingType == other.mMappingType && mPlanarMappingNormal == other.mPlanarMappingNormal &&
           p.UseMaterial.Value() == q.UseMaterial.Value() && p.TextureTypeUse.Value() == q.TextureTypeUse.Value() &&
           p.UVSwap.Value() == q.UVSwap.Value() && mFileName == other.mFileName && mMediaName == other.mMediaName &&
           mTextureType == other.mTextureType && mUVScaling == other.mUVScaling &&
           mUVTranslation == other.mUVTranslation;
}

// ---- Properties as user properties and channels -----------------------------------------------

void KZeqTexture::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqTexture::FillPropertyList(void* list) { FillHandlerPropertyList(*mProperties, list); }

void KZeqTexture::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqTexture::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

void KZeqTexture::AddChannels(KZeqTakeNode* take) {
    if (!take) return;
    const struct {
        const char* mName;
        KDataType* mDataType;
        int mLayerType;
        double mDefault;
    } channels[] = {{"Translation", &KDataTypeTranslation, KFCL_ADD, kPlacementDefaults[kTranslation]},
                    {"Rotation", &KDataTypeRotation, KFCL_EULER_XYZ, kPlacementDefaults[kRotation]},
                    {"Scaling", &KDataTypeScaling, KFCL_MULT, kPlacementDefaults[kScaling]}};
    for (const auto& channel : channels) {
        KFCurveNode* node = KFCurveNodeCreate(channel.mName, channel.mDataType, channel.mLayerType, 0);
        for (int i = 0; i < 3; ++i) {
            KFCurveNode* child = KFCurveNodeCreate(kAxisNames[i]);
            KFCurve* curve = KFCurveCreate();
            child->FCurveSet(curve, false);
            curve->SetValue(static_cast<float>(channel.mDefault));
            curve->SetColor(kAxisColors[i]);
            node->Add(child);
        }
        take->GetKFCurveNode()->Add(node);
    }
    KFCurveNode* alpha = KFCurveNodeCreate("Alpha", &KDataTypeNumber, KFCL_ADD, 0);
    KFCurve* curve = KFCurveCreate();
    alpha->FCurveSet(curve, false);
    curve->SetValue(static_cast<float>(kAlphaDefault));
    curve->SetColor(kValueColor);
    take->GetKFCurveNode()->Add(alpha);
}

// ---- Textures in an entity: counted references ----------------------------------------------

KZeqTexture* KZeqEntity::GetTexture(int index) { return static_cast<KZeqTexture*>(SharedAt(eTextures, index)); }

KZeqTexture* KZeqEntity::GetTexture(const KString& name) {
    KZeqObject* texture = FindSharedByName(eTextures, name.Buffer());
    if (!texture) mError.SetLastErrorID(eTextureNotFound);
    return static_cast<KZeqTexture*>(texture);
}

bool KZeqEntity::AddTexture(KZeqTexture* texture) {
    if (!texture) return false;
    AddShared(eTextures, texture);
    return true;
}

bool KZeqEntity::RemoveTexture(KZeqTexture* texture) {
    return RemoveShared(eTextures, texture, eTextureInUse, eTextureNotFound);
}

}  // namespace zeqsdk_400
