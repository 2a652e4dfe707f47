// The node record of every file version: display, culling, children names,
// the attribute its "Type" names (with the null, marker and skeleton
// fields), user properties or the property block, animation settings and
// the default channel values; and the publishing of an object's properties.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqgenericnode.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqopticalreference.h"
#include "content/kzeqpatch.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqscenerecords.h"
#include "object/izeqobject.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

struct ShadingRow {
    char mCharacter;
    KZeqNode::EShadingMode mMode;
};
const ShadingRow kShadingRows[] = {{'W', KZeqNode::eWIRE_FRAME},
                                   {'F', KZeqNode::eFLAT_SHADING},
                                   {'Y', KZeqNode::eLIGHT_SHADING},
                                   {'T', KZeqNode::eTEXTURE_SHADING},
                                   {'U', KZeqNode::eLIGHT_TEXTURE_SHADING}};
const char* const kCullingTexts[] = {"CullingOff", "CullingOnCCW", "CullingOnCW"};

// The component of "X", "Y", "Z", -1 for any other text.
int AxisOf(const KString& name) {
    static const char* const kAxes[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i)
        if (name == kAxes[i]) return i;
    return -1;
}

double CurveValue(KFCurveNode* node, double missing) {
    return node && node->FCurveGet() ? node->FCurveGet()->GetValue() : missing;
}

// The default a user property takes from a channel: three values from three
// children, else one from the channel's own curve; false when neither.
bool ChannelDefault(KFCurveNode* channel, double (&values)[3], int& count) {
    if (channel->GetCount() == 3) {
        for (int i = 0; i < 3; ++i) values[i] = CurveValue(channel->Get(i), 0.0);
        return count = 3, true;
    }
    if (!channel->FCurveGet()) return false;
    values[0] = channel->FCurveGet()->GetValue();
    return count = 1, true;
}

// Whether the name ends with a type suffix (" (Real)" and the like).
bool HasTypeSuffix(const KString& name) {
    KString stored = name;
    RemoveTypeIdentifierFromName(stored);
    return stored != name;
}

bool NamesChannel(const std::vector<KString>& names, const KString& name) {
    for (const KString& channel : names)
        if (channel.CompareNoCase(name.Buffer()) == 0) return true;
    return false;
}

// A 5.8 file keeps a user property's channel under the name without its type
// suffix (which a property named with it loses when written): that channel,
// when the record holds one of that name that no property of the node or its
// attribute, nor the transform, goes by.
KFCurveNode* StoredChannel(KZeqNode& node, KFCurveNode* root, KZeqUserProperty& property,
                           const std::vector<KString>& recordChannels) {
    KString stored = property.GetName();
    RemoveTypeIdentifierFromName(stored);
    if (stored.CompareNoCase("Transform") == 0 || !NamesChannel(recordChannels, stored)) return nullptr;
    KFCurveNode* channel = FindPropertyChannel(root, stored);
    if (!channel) return nullptr;
    KArrayTemplate<KProperty*> properties;
    node.FillPropertyList(&properties);
    for (int i = 0; i < properties.GetCount(); ++i)
        if (properties[i] && FindPropertyChannel(root, properties[i]->GetPropertyName()) == channel) return nullptr;
    return channel;
}

// The time warps that a copy of the channel's curves leaves behind.
void CopyTimeWarps(KFCurveNode& to, KFCurveNode& from) {
    to.TimeWarpSet(from.TimeWarpGet());
    for (int i = 0; i < to.GetCount() && i < from.GetCount(); ++i) CopyTimeWarps(*to.Get(i), *from.Get(i));
}

}  // namespace

bool KZeqReaderZeq::ReadKZeqNode(KZeqNode& node) {
    KZeq& file = *mFile;
    const bool before6 = mFile->IsBeforeVersion6();
    node.SetVisibility(true);
    if (file.FieldReadBegin("Hidden")) {
        if (file.FieldReadC().CompareNoCase("True") == 0) {
            node.SetVisibility(false);
            // Property defaults are later taken from the channels: a file
            // with no visibility channel must not show the node again.
            KZeqTakeNode* take = node.GetDefaultTakeNode();
            if (take && take->IsDeferred())
                take->SetStandardValue(KZeqTakeNode::eVisibility, 0.0f);
            else if (KFCurve* visibility = take ? take->GetVisibility() : nullptr)
                visibility->SetValue(0.0f);
        }
        file.FieldReadEnd();
    }
    node.SetShadingMode(KZeqNode::eHARD_SHADING);
    if (file.FieldReadBegin("Shading")) {
        const char character = file.FieldReadCH();
        for (const ShadingRow& row : kShadingRows)
            if (row.mCharacter == character) node.SetShadingMode(row.mMode);
        file.FieldReadEnd();
    }
    const KString culling = file.FieldReadC("Culling", "");
    node.SetCullingType(KZeqNode::eCULLING_OFF);
    for (int i = 0; i < 3; ++i)
        if (culling == kCullingTexts[i]) node.SetCullingType(static_cast<KZeqNode::ECullingType>(i));
    if (kZeqNodeRecordHooks.mTargets) kZeqNodeRecordHooks.mTargets(*this, node);
    if (file.FieldReadBegin("Children")) {
        for (KString child = file.FieldReadC(); !child.IsEmpty(); child = file.FieldReadC())
            node.AddChildName(child.Buffer());
        file.FieldReadEnd();
    }
    ReadKZeqNodeAttribute(node);
    if (before6) {
        if (kZeqNodeRecordHooks.mLimits) kZeqNodeRecordHooks.mLimits(*this, node);
        if (kZeqNodeRecordHooks.mPivots && mOptions && mOptions->GetOption(KStreamOptionsZeq::ePIVOT))
            kZeqNodeRecordHooks.mPivots(*this, node);
        // These files keep no property block: the properties that mirror the
        // pivots and limits take them here, as a version-6 read gives them.
        node.UpdatePropertiesFromPivotsAndLimits();
    } else {
        ReadKZeqNodeProperties(node);
    }
    node.SetMultiLayer(file.FieldReadI("MultiLayer", 1) != 0);
    node.SetMultiTakeMode(static_cast<KZeqNode::EMultiTakeMode>(file.FieldReadI("MultiTake", 0)));
    if (before6) ListRecordChannels(*mFile, node);
    ReadKZeqNodeDefaultAttributes(node);
    if (KZeqGeometry* geometry = before6 ? node.GetGeometry() : nullptr) {
        geometry->CleanShapeChannels(node.GetDefaultTakeNode());
        // These files keep shape weights in the channels alone: the shape
        // properties take them before publishing gives them to the channels.
        for (int i = 0; i < geometry->GetShapeCount(); ++i) geometry->SetDefaultShape(i, geometry->GetDefaultShape(i));
    }
    if (before6) {
        UpdatePropertiesDefaultValues(node);
        TakeStoredChannels(node, node.GetCurrentTakeNode());
    }
    mRecordChannels.clear();
    // The channels come last in the record: the properties that mirror them
    // (an attribute's among them) take their values.
    node.UpdatePropertiesFromDefaultTake();
    PublishKZeqProperties(node);
    return true;
}

bool KZeqReaderZeq::ReadKZeqGenericNode(KZeqGenericNode& node) {
    mFile->FieldReadI("Version", 100);
    ReadPropertyBlock(node);
    PublishKZeqProperties(node);
    return true;
}

bool KZeqReaderZeq::ReadPropertyBlock(KZeqTakeNodeContainer& object) {
    KArrayTemplate<KProperty*> properties;
    object.FillPropertyList(&properties);
    mFile->FieldReadPropertiesList(properties, object.GetPropertyHandler());
    object.UpdateDefaultTakeFromProperties();
    return true;
}

// ---- Attribute ------------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadKZeqNodeAttribute(KZeqNode& node) {
    KZeq& file = *mFile;
    const bool typed = file.FieldReadBegin("Type");
    const KString type = typed ? file.FieldReadC() : KString();
    if (typed) file.FieldReadEnd();
    const ZeqAttributeKind* kind = nullptr;
    for (int i = 0; i < kZeqAttributeKindCount && !kind; ++i) {
        const char* name = kZeqAttributeKinds[i].mType;
        if (typed ? name && type == name : !name) kind = &kZeqAttributeKinds[i];
    }
    if (kind) {
        if (KZeqNodeAttribute* attribute = kind->mCreate(mManager, kind->mSetUp)) {
            auto attach = [&] {
                if (KZeqNodeAttribute* former = node.SetNodeAttribute(attribute))
                    mManager.DestroyKZeqNodeAttribute(former);
            };
            if (kind->mAttachFirst) attach();
            const bool read = !kind->mRead || kind->mRead(*this, *attribute);
            if (!kind->mAttachFirst) attach();
            // A surface its record contradicts comes without control points (the failed check
            // names why): the node stays, and the user hears what it lost.
            if (!read && attribute->GetAttributeType() == KZeqNodeAttribute::eNURB &&
                static_cast<KZeqNurb*>(attribute)->GetControlPointsCount() == 0)
                AddMessageLine(KString(node.GetName()) + ": NURBS surface left out: " + mError.GetLastErrorString());
        }
        ReadUserProperties(node);
    }
    mTextures.Clear();
    return true;
}

KZeqNodeAttribute* ZeqCreateNull(KZeqSdkManager& manager, int) { return manager.CreateKZeqNull(); }
KZeqNodeAttribute* ZeqCreateMesh(KZeqSdkManager& manager, int) { return manager.CreateKZeqMesh(); }
KZeqNodeAttribute* ZeqCreateNurb(KZeqSdkManager& manager, int) { return manager.CreateKZeqNurb(); }
KZeqNodeAttribute* ZeqCreatePatch(KZeqSdkManager& manager, int) { return manager.CreateKZeqPatch(); }
KZeqNodeAttribute* ZeqCreateLight(KZeqSdkManager& manager, int) { return manager.CreateKZeqLight(); }
KZeqNodeAttribute* ZeqCreateCamera(KZeqSdkManager& manager, int) { return manager.CreateKZeqCamera(); }
KZeqNodeAttribute* ZeqCreateOpticalReference(KZeqSdkManager& manager, int) {
    return manager.CreateKZeqOpticalReference();
}

KZeqNodeAttribute* ZeqCreateMarker(KZeqSdkManager& manager, int type) {
    KZeqMarker* marker = manager.CreateKZeqMarker();
    if (marker) marker->SetType(static_cast<KZeqMarker::EType>(type));
    return marker;
}

KZeqNodeAttribute* ZeqCreateSkeleton(KZeqSdkManager& manager, int type) {
    KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
    if (skeleton) skeleton->SetSkeletonType(static_cast<KZeqSkeleton::ESkeletonType>(type));
    return skeleton;
}

bool ZeqReadNullFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqNull(static_cast<KZeqNull&>(attribute));
}

bool ZeqReadMarkerFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqMarker(static_cast<KZeqMarker&>(attribute));
}

bool ZeqReadSkeletonFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    auto& skeleton = static_cast<KZeqSkeleton&>(attribute);
    KZeq& file = *reader.GetZeqObject();
    const KZeqSkeleton::ESkeletonType type = skeleton.GetSkeletonType();
    const bool coloured = type == KZeqSkeleton::eLIMB || type == KZeqSkeleton::eLIMB_NODE;
    if (type == KZeqSkeleton::eLIMB && file.FieldReadBegin("LimbLength")) {
        skeleton.SetLimbLength(file.FieldReadD());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("Properties")) {
        if (file.FieldReadBlockBegin()) {
            if (file.FieldReadBegin("Size")) {
                skeleton.SetLimbNodeSize(file.FieldReadD());
                file.FieldReadEnd();
            }
            const KZeqColor current = skeleton.GetLimbNodeColor();
            double rgb[3] = {current.mRed, current.mGreen, current.mBlue};
            if (coloured && file.FieldReadDn("Color", rgb, nullptr, 3))
                skeleton.SetLimbNodeColor(KZeqColor(rgb[0], rgb[1], rgb[2], 1.0));
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    } else if (type == KZeqSkeleton::eLIMB_NODE && file.FieldReadBegin("Size")) {
        // The oldest limb nodes kept their size in metres.
        skeleton.SetLimbNodeSize(file.FieldReadD() * 100.0);
        file.FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqNull(KZeqNull& null) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("Properties")) return true;
    if (file.FieldReadBlockBegin()) {
        if (file.FieldReadBegin("Size")) {
            null.SetSize(file.FieldReadD());
            file.FieldReadEnd();
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReadKZeqMarker(KZeqMarker& marker) {
    KZeq& file = *mFile;
    KZeqColor color = marker.GetColor();
    double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    if (file.FieldReadBegin("Properties")) {
        if (file.FieldReadBlockBegin()) {
            marker.SetLook(static_cast<KZeqMarker::ELook>(file.FieldReadI("Look", marker.GetLook())));
            marker.SetSize(file.FieldReadD("Size", marker.GetSize()));
            file.FieldReadDn("Color", rgb, nullptr, 3);
            const KZeqVector4 current = marker.GetIKPivot();
            double pivot[3] = {current[0], current[1], current[2]};
            if (file.FieldReadDn("IKPivot", pivot, nullptr, 3)) {
                KZeqVector4 value(pivot[0], pivot[1], pivot[2], 0.0);
                marker.SetIKPivot(value);
            }
            marker.SetShowLabel(file.FieldReadI("ShowLabel", marker.GetShowLabel() ? 1 : 0) != 0);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    } else {
        // Markers without display properties keep their colour in a "Color" channel.
        while (file.FieldReadBegin("Channel")) {
            const bool isColor = file.FieldReadC() == "Color";
            if (isColor && file.FieldReadBlockBegin()) {
                while (file.FieldReadBegin("Channel")) {
                    const int axis = AxisOf(file.FieldReadC());
                    if (axis >= 0 && file.FieldReadBlockBegin()) {
                        rgb[axis] = file.FieldReadD("Default", rgb[axis]);
                        file.FieldReadBlockEnd();
                    }
                    file.FieldReadEnd();
                }
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
            if (isColor) break;
        }
        // The node record reads its channels from the first one again.
        file.FieldReadResetPosition();
    }
    color.mRed = rgb[0], color.mGreen = rgb[1], color.mBlue = rgb[2];
    marker.SetColor(color);
    if (marker.GetType() == KZeqMarker::eIK_EFFECTOR) {
        marker.SetDefaultIKReachTranslation(file.FieldReadD("IKReachTranslation", 0.0));
        marker.SetDefaultIKReachRotation(file.FieldReadD("IKReachRotation", 0.0));
        if (KObject* handler = marker.GetPropertyHandler()) {
            for (const char* name : {"IK Reach Translation", "IK Reach Rotation"}) {
                if (handler->FindPropertyByName(name)) continue;
                KDataType* type = KDataTypeGet(name);
                KProperty* property =
                    handler->CreatePropertyFromType(name, DataTypeToPropertyType(type), type, false, false, nullptr);
                if (!property) continue;
                property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
                property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
            }
        }
    }
    return true;
}

// ---- Channels and properties ----------------------------------------------------------------------

bool KZeqReaderZeq::ReadKZeqNodeDefaultAttributes(KZeqNode& node) {
    if (KZeqTakeNode* take = node.GetDefaultTakeNode()) take->ReadChannels(mFile, true, true, false);
    return true;
}

bool KZeqReaderZeq::ReadAnimation(KZeq& file, KFCurveNode* node) {
    while (node && KFCurveNodeCreate(&file, node, false, true, false)) {
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqNodeProperties(KZeqNode& node) {
    KArrayTemplate<KProperty*> properties;
    node.FillPropertyList(&properties);
    mFile->FieldReadPropertiesList(properties, node.GetPropertyHandler());
    node.UpdateDefaultTakeFromProperties();
    node.UpdatePivotsAndLimitsFromProperties();
    return true;
}

bool KZeqReaderZeq::ReadUserProperties(KZeqNode& node) {
    KZeq& file = *mFile;
    if (!mFile->IsBeforeVersion6()) return true;
    while (file.FieldReadBegin("UserProperty")) {
        if (file.FieldReadBlockBegin()) {
            KString name = file.FieldReadC("Name", "UserProp");
            const KString typeName = file.FieldReadC("Type", "");
            const KString label = file.FieldReadC("Label", "");
            // In memory the name carries its type, vectors excepted.
            if (typeName.CompareNoCase("Vector") != 0) name = name + " (" + typeName + ")";
            KZeqUserProperty* property = mManager.CreateKZeqUserProperty(name.Buffer(), typeName.Buffer(), label.Buffer());
            if (property) {
                property->ModifyFlag(KZeqUserProperty::eUSER, true);
                property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
                node.AddProperty(property);
                switch (GetPropertyTypeFromName(typeName.Buffer())) {
                    case KZeqUserProperty::eBOOL: property->SetDefaultValue(file.FieldReadI("Value", 0) != 0); break;
                    case KZeqUserProperty::eREAL: property->SetDefaultValue(file.FieldReadD("Value", 0.0)); break;
                    case KZeqUserProperty::eINTEGER: property->SetDefaultValue(file.FieldReadI("Value", 0)); break;
                    case KZeqUserProperty::eCOLOR:
                    case KZeqUserProperty::eVECTOR: {
                        double value[3] = {0.0, 0.0, 0.0};
                        if (file.FieldReadDn("Value", value, nullptr, 3))
                            property->SetDefaultValue(value[0], value[1], value[2]);
                        break;
                    }
                    default: break;
                }
                property->SetMinLimit(file.FieldReadD("Min", -HUGE_VAL));
                property->SetMaxLimit(file.FieldReadD("Max", HUGE_VAL));
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::PublishKZeqProperties(KZeqObject& object) {
    KZeqPropertyHandler* handler = object.GetPropertyHandler();
    if (!handler) return true;
    // The properties wrapped already, gathered once: a search of the object's
    // list per property would be quadratic in the property count.
    // Built-in entries answer by a direct index.
    std::vector<KProperty*> wrapped;
    for (int i = object.GetBuiltInEntryCount(); i < object.GetPropertyCount(); ++i)
        if (KProperty* property = object.PeekProperty(i)) wrapped.push_back(property);
    std::sort(wrapped.begin(), wrapped.end());
    const int builtIns = object.GetBuiltInEntryCount();
    for (int i = 0; i < handler->GetPropertyCount(); ++i) {
        KProperty* property = handler->GetProperty(i);
        // Mostly the built-in entry at the same place stands for it.
        if (!property || (i < builtIns && object.PeekProperty(i) == property) || object.WrapsBuiltIn(property) ||
            std::binary_search(wrapped.begin(), wrapped.end(), property))
            continue;
        KZeqUserProperty* user = mManager.CreateKZeqUserProperty(property);
        if (!user) continue;
        object.AddProperty(user);
        user->SetPropertyHandler(handler);
    }
    return true;
}

void KZeqReaderZeq::ListRecordChannels(KZeq& file, KZeqNode& node) {
    mRecordChannels.clear();
    bool suffixed = false;
    for (int i = 0; i < node.GetPropertyCount() && !suffixed; ++i)
        suffixed = node.PeekFlag(i, KZeqUserProperty::eUSER) && HasTypeSuffix(node.GetProperty(i)->GetName());
    if (!suffixed) return;
    while (file.FieldReadBegin("Channel")) {
        mRecordChannels.push_back(file.FieldReadC());
        file.FieldReadEnd();
    }
    // The channels are read from the first one again.
    file.FieldReadResetPosition();
}

void KZeqReaderZeq::TakeStoredChannels(KZeqNode& node, KZeqTakeNode* take) {
    KFCurveNode* root = take && !mRecordChannels.empty() ? take->GetKFCurveNode() : nullptr;
    if (!root) return;
    // Each goes once all properties have taken it (two names may end in the same).
    std::vector<KFCurveNode*> taken;
    for (int i = 0; i < node.GetPropertyCount(); ++i) {
        if (!node.PeekFlag(i, KZeqUserProperty::eUSER)) continue;
        KZeqUserProperty* property = node.GetProperty(i);
        const KString name = property->GetName();
        if (NamesChannel(mRecordChannels, name)) continue;
        KFCurveNode* own = FindPropertyChannel(root, name);
        KFCurveNode* stored = own ? StoredChannel(node, root, *property, mRecordChannels) : nullptr;
        // A channel of another shape than the property's keeps its place.
        if (!stored || stored == own || !stored->GetParent() || stored->GetCount() != own->GetCount()) continue;
        own->CopyFrom(stored);
        CopyTimeWarps(*own, *stored);
        if (std::find(taken.begin(), taken.end(), stored) == taken.end()) taken.push_back(stored);
    }
    for (KFCurveNode* stored : taken) stored->GetParent()->Delete(stored);
}

bool KZeqReaderZeq::UpdatePropertiesDefaultValues(KZeqNode& node) {
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    if (!root) return true;
    for (int i = 0; i < node.GetPropertyCount(); ++i) {
        KZeqUserProperty* property = node.GetProperty(i);
        const KString name = property->GetName();
        KFCurveNode* channel = FindPropertyChannel(root, name);
        // Files written either way read back: the channel under the whole
        // name when the record holds one, else the one under the stored name.
        // (The property made a channel of its whole name when it was added.)
        if (!mRecordChannels.empty() && !NamesChannel(mRecordChannels, name))
            if (KFCurveNode* stored = StoredChannel(node, root, *property, mRecordChannels)) channel = stored;
        double values[3];
        int count = 0;
        if (!channel || !ChannelDefault(channel, values, count)) continue;
        if (count == 3)
            property->SetDefaultValue(values[0], values[1], values[2]);
        else
            property->SetDefaultValue(values[0]);
    }
    KZeqNodeProperties* handler = node.GetPropertyHandler();
    KFCurveNode* transform = handler ? root->FindRecursive("Transform") : nullptr;
    if (!transform) return true;
    const struct {
        const char* mProperty;
        const char* mChannel;
        double mMissing;
    } rows[] = {{"Lcl Translation", "T", 0.0}, {"Lcl Rotation", "R", 0.0}, {"Lcl Scaling", "S", 1.0}};
    for (const auto& row : rows) {
        KZeqUserProperty* property = node.FindPropertyByName(row.mProperty);
        KFCurveNode* channel = transform->Get(transform->Find(row.mChannel));
        if (!handler->FindPropertyByName(row.mProperty) || !property || !channel || channel->GetCount() != 3) continue;
        property->SetDefaultValue(CurveValue(channel->Get(0), row.mMissing), CurveValue(channel->Get(1), row.mMissing),
                                  CurveValue(channel->Get(2), row.mMissing));
    }
    return true;
}

}  // namespace zeqsdk_400
