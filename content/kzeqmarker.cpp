#include "content/kzeqmarker.h"

#include "base/karray.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqMarkerProperties, KObject, "KZeqMarkerProperties")

namespace {

constexpr const char* kLookTexts[] = {"Cube", "Hard Cross", "Light Cross", "Sphere"};
constexpr const char* kTypeNames[] = {"Marker", "OpticalMarker", "IKEffector", "FKEffector"};
constexpr float kChannelColor[3] = {0.75f, 0.0f, 0.0f};

// The channels of each marker type: name, data type and layer type.
struct MarkerChannel {
    const char* mName;
    KDataType* mDataType;
    int mLayerType;
};
const MarkerChannel kOcclusion[] = {{"Occlusion", &KDataTypeOcclusion, 0}};
const MarkerChannel kIKReach[] = {{"IK Reach Translation", &KDataTypeIKReachTranslation, 1},
                                  {"IK Reach Rotation", &KDataTypeIKReachRotation, 1}};

struct ChannelSet {
    const MarkerChannel* mChannels;
    int mCount;
};
ChannelSet ChannelsOf(KZeqMarker::EType type) {
    if (type == KZeqMarker::eOPTICAL_MARKER) return {kOcclusion, 1};
    if (type == KZeqMarker::eIK_EFFECTOR) return {kIKReach, 2};
    return {nullptr, 0};
}

// The channels with default-take accessors, by the index the marker keeps
// their detached values under: the type that has each and its curve.
struct DefaultRow {
    KZeqMarker::EType mType;
    KFCurve* (KZeqTakeNode::*mGet)();
};
const DefaultRow kDefaults[] = {{KZeqMarker::eOPTICAL_MARKER, &KZeqTakeNode::GetOcclusion},
                                {KZeqMarker::eIK_EFFECTOR, &KZeqTakeNode::GetIKReachTranslation},
                                {KZeqMarker::eIK_EFFECTOR, &KZeqTakeNode::GetIKReachRotation}};

// The index of the first channel of the type's set in kDefaults.
int FirstDefault(KZeqMarker::EType type) { return type == KZeqMarker::eIK_EFFECTOR ? 1 : 0; }

}  // namespace

// ---- Properties ----------------------------------------------------------------------------

KZeqMarkerProperties::KZeqMarkerProperties() {
    PropertyAddToList(&Look);
    Look.SetPropertyType(KPropertyGetType(static_cast<KZeqMarker::ELook*>(nullptr)));
    Look.SetPropertyInfo("Look", this, &KZeqMarkerProperties::LookGet, &KZeqMarkerProperties::LookSet);
    Look.GetPropertyInfo().SetAsStringFunc(&KZeqMarkerProperties::LookAsString);
    PropertyAddToList(&Size);
    Size.SetPropertyType(KPropertyGetType(static_cast<double*>(nullptr)));
    Size.SetPropertyInfo("Size", this, &KZeqMarkerProperties::SizeGet, &KZeqMarkerProperties::SizeSet);
    PropertyAddToList(&Color);
    Color.SetPropertyType(KPropertyGetType(static_cast<KgeRGBVector*>(nullptr)));
    Color.SetPropertyInfo("Color", this, &KZeqMarkerProperties::ColorGet, &KZeqMarkerProperties::ColorSet);
    PropertyAddToList(&ShowLabel);
    ShowLabel.SetPropertyType(KPropertyGetType(static_cast<bool*>(nullptr)));
    ShowLabel.SetPropertyInfo("ShowLabel", this, &KZeqMarkerProperties::ShowLabelGet,
                              &KZeqMarkerProperties::ShowLabelSet);
    PropertyAddToList(&IKPivot);
    IKPivot.SetPropertyType(KPropertyGetType(static_cast<KgeTVector*>(nullptr)));
    IKPivot.SetPropertyInfo("IKPivot", this, &KZeqMarkerProperties::IKPivotGet, &KZeqMarkerProperties::IKPivotSet);
    IKPivot.Value() = KgeTVector(0.0, 0.0, 0.0, 1.0);
}

void KZeqMarkerProperties::IKPivotSet(KgeTVector pivot) {
    for (int i = 0; i < 3; ++i) IKPivot.Value().mData[i] = pivot.mData[i];
}

KgeTVector KZeqMarkerProperties::IKPivotGet() {
    const KgeTVector& held = IKPivot.Value();
    return KgeTVector(held.mData[0], held.mData[1], held.mData[2], 1.0);
}

const char* KZeqMarkerProperties::LookAsString(KZeqMarker::ELook look) {
    return look >= 0 && look < static_cast<int>(sizeof(kLookTexts) / sizeof(kLookTexts[0])) ? kLookTexts[look]
                                                                                          : nullptr;
}

// ---- Marker ----------------------------------------------------------------------------------

KZeqMarker::KZeqMarker(KZeqSdkManager& manager) : KZeqNodeAttribute(manager), mProperties(new KZeqMarkerProperties) {
    Reset();
}

KZeqMarker::~KZeqMarker() { mProperties->Destroy(); }

void KZeqMarker::Reset() {
    mType = eMARKER;
    mProperties->LookSet(eCUBE);
    mProperties->SizeSet(100.0);
    mProperties->ColorSet(KgeRGBVector(1.0, 0.0, 0.0));
    mProperties->ShowLabelSet(false);
    mProperties->IKPivotSet(KgeTVector(0.0, 0.0, 0.0));
}

void KZeqMarker::SetType(EType type) {
    if (type == mType) return;
    mType = type;
    if (KZeqNode* node = GetNode()) {
        UnsetNode();
        SetNode(*node);
    }
}

void KZeqMarker::SetLook(ELook look) { mProperties->LookSet(look); }
KZeqMarker::ELook KZeqMarker::GetLook() const { return mProperties->LookGet(); }
void KZeqMarker::SetSize(double size) { mProperties->SizeSet(size); }
double KZeqMarker::GetSize() const { return mProperties->SizeGet(); }
void KZeqMarker::SetShowLabel(bool show) { mProperties->ShowLabelSet(show); }
bool KZeqMarker::GetShowLabel() const { return mProperties->ShowLabelGet(); }

void KZeqMarker::SetColor(KZeqColor color) {
    mProperties->ColorSet(KgeRGBVector(color.mRed, color.mGreen, color.mBlue));
}

KZeqColor KZeqMarker::GetColor() const {
    const KgeRGBVector color = mProperties->ColorGet();
    return KZeqColor(color.mData[0], color.mData[1], color.mData[2], 1.0);
}

void KZeqMarker::SetIKPivot(KZeqVector4& pivot) { mProperties->IKPivotSet(KgeTVector(pivot[0], pivot[1], pivot[2])); }

KZeqVector4 KZeqMarker::GetIKPivot() const {
    const KgeTVector pivot = mProperties->IKPivotGet();
    return KZeqVector4(pivot.mData[0], pivot.mData[1], pivot.mData[2], 1.0);
}

double KZeqMarker::GetDefaultValue(int channel) const {
    const DefaultRow& row = kDefaults[channel];
    if (mType != row.mType) return 0.0;
    KZeqTakeNode* take = GetNode() ? GetNode()->GetDefaultTakeNode() : nullptr;
    if (!take) return mDetached[channel];
    KFCurve* curve = (take->*row.mGet)();
    return curve ? curve->GetValue() : 0.0;
}

void KZeqMarker::SetDefaultValue(int channel, double value) {
    const DefaultRow& row = kDefaults[channel];
    if (mType != row.mType) return;
    KZeqTakeNode* take = GetNode() ? GetNode()->GetDefaultTakeNode() : nullptr;
    // Kept as the curve would keep it, so that the value answers alike once attached.
    if (!take) mDetached[channel] = static_cast<float>(value);
    if (KFCurve* curve = take ? (take->*row.mGet)() : nullptr) curve->SetValue(static_cast<float>(value));
}

double KZeqMarker::GetDefaultOcclusion() const { return GetDefaultValue(0); }
void KZeqMarker::SetDefaultOcclusion(double occlusion) { SetDefaultValue(0, occlusion); }
double KZeqMarker::GetDefaultIKReachTranslation() const { return GetDefaultValue(1); }
void KZeqMarker::SetDefaultIKReachTranslation(double reach) { SetDefaultValue(1, reach); }
double KZeqMarker::GetDefaultIKReachRotation() const { return GetDefaultValue(2); }
void KZeqMarker::SetDefaultIKReachRotation(double reach) { SetDefaultValue(2, reach); }

void KZeqMarker::AddChannels(KZeqTakeNode* take) {
    KZeqNodeAttribute::AddChannels(take);
    if (!take) return;
    const ChannelSet set = ChannelsOf(mType);
    for (int i = 0; i < set.mCount; ++i) {
        const MarkerChannel& channel = set.mChannels[i];
        KFCurveNode* node = KFCurveNodeCreate(channel.mName, channel.mDataType, channel.mLayerType, 0);
        KFCurve* curve = KFCurveCreate();
        node->FCurveSet(curve, false);
        curve->SetValue(static_cast<float>(mDetached[FirstDefault(mType) + i]));
        curve->SetColor(kChannelColor);
        take->GetKFCurveNode()->Add(node);
    }
}

void KZeqMarker::RemoveChannels(KZeqTakeNode* take) {
    if (take) {
        const ChannelSet set = ChannelsOf(mType);
        KFCurveNode* root = take->GetKFCurveNode();
        // Leaving the node, the marker keeps its default-take values.
        const bool defaults = GetNode() && take == GetNode()->GetDefaultTakeNode();
        for (int i = 0; i < set.mCount; ++i)
            if (KFCurveNode* node = root->Find(set.mChannels[i].mDataType)) {
                if (defaults && node->FCurveGet()) mDetached[FirstDefault(mType) + i] = node->FCurveGet()->GetValue();
                root->Delete(node);
            }
    }
    KZeqNodeAttribute::RemoveChannels(take);
}

KZeqMarker& KZeqMarker::operator=(KZeqMarker& other) {
    if (this == &other) return *this;
    mType = other.mType;
    SetLook(other.GetLook());
    SetSize(other.GetSize());
    SetColor(other.GetColor());
    SetShowLabel(other.GetShowLabel());
    return *this;
}

void KZeqMarker::FillPropertyList(void* list) {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i)
        static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProperties->GetProperty(i));
}

KString KZeqMarker::GetTypeName() const {
    return KString(mType >= 0 && mType < static_cast<int>(sizeof(kTypeNames) / sizeof(kTypeNames[0]))
                       ? kTypeNames[mType]
                       : "Marker");
}

KStringList KZeqMarker::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Marker");
    return flags;
}

}  // namespace zeqsdk_400
