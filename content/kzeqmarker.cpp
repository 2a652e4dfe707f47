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

// The default take's curve of a channel the marker's type has; null when the
// type lacks it or the marker is on no node.
KFCurve* DefaultCurve(const KZeqMarker& marker, KZeqMarker::EType type, KFCurve* (KZeqTakeNode::*get)()) {
    if (marker.GetType() != type || !marker.GetNode()) return nullptr;
    KZeqTakeNode* take = marker.GetNode()->GetDefaultTakeNode();
    return take ? (take->*get)() : nullptr;
}

double ValueOf(KFCurve* curve) { return curve ? curve->GetValue() : 0.0; }

void SetValueOf(KFCurve* curve, double value) {
    if (curve) curve->SetValue(static_cast<float>(value));
}

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

double KZeqMarker::GetDefaultOcclusion() const {
    return ValueOf(DefaultCurve(*this, eOPTICAL_MARKER, &KZeqTakeNode::GetOcclusion));
}

void KZeqMarker::SetDefaultOcclusion(double occlusion) {
    SetValueOf(DefaultCurve(*this, eOPTICAL_MARKER, &KZeqTakeNode::GetOcclusion), occlusion);
}

double KZeqMarker::GetDefaultIKReachTranslation() const {
    return ValueOf(DefaultCurve(*this, eIK_EFFECTOR, &KZeqTakeNode::GetIKReachTranslation));
}

void KZeqMarker::SetDefaultIKReachTranslation(double reach) {
    SetValueOf(DefaultCurve(*this, eIK_EFFECTOR, &KZeqTakeNode::GetIKReachTranslation), reach);
}

double KZeqMarker::GetDefaultIKReachRotation() const {
    return ValueOf(DefaultCurve(*this, eIK_EFFECTOR, &KZeqTakeNode::GetIKReachRotation));
}

void KZeqMarker::SetDefaultIKReachRotation(double reach) {
    SetValueOf(DefaultCurve(*this, eIK_EFFECTOR, &KZeqTakeNode::GetIKReachRotation), reach);
}

void KZeqMarker::AddChannels(KZeqTakeNode* take) {
    KZeqNodeAttribute::AddChannels(take);
    if (!take) return;
    const ChannelSet set = ChannelsOf(mType);
    for (int i = 0; i < set.mCount; ++i) {
        const MarkerChannel& channel = set.mChannels[i];
        KFCurveNode* node = KFCurveNodeCreate(channel.mName, channel.mDataType, channel.mLayerType, 0);
        KFCurve* curve = KFCurveCreate();
        node->FCurveSet(curve, false);
        curve->SetValue(0.0f);
        curve->SetColor(kChannelColor);
        take->GetKFCurveNode()->Add(node);
    }
}

void KZeqMarker::RemoveChannels(KZeqTakeNode* take) {
    if (take) {
        const ChannelSet set = ChannelsOf(mType);
        KFCurveNode* root = take->GetKFCurveNode();
        for (int i = 0; i < set.mCount; ++i)
            if (KFCurveNode* node = root->Find(set.mChannels[i].mDataType)) root->Delete(node);
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
