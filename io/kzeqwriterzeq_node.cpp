// The node record as both Zeq writers write it, with the null, marker,
// optical-reference and skeleton records, the animated-property lists and
// user properties of the 5.8 layout and the property block of the 6.0 one.

#include <cmath>
#include <cstring>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqscenerecords.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

const char kShadingCharacters[] = {0, 'W', 'F', 'Y', 'T', 'U'};

bool WriteFieldD(KZeq& file, const char* name, double value) {
    return file.FieldWriteBegin(name) && file.FieldWriteD(value) && file.FieldWriteEnd();
}

bool WriteFieldDn(KZeq& file, const char* name, std::initializer_list<double> values) {
    bool ok = file.FieldWriteBegin(name);
    for (double value : values) ok = ok && file.FieldWriteD(value);
    return ok && file.FieldWriteEnd();
}

bool WriteFieldCn(KZeq& file, const char* name, const std::vector<const char*>& values) {
    bool ok = file.FieldWriteBegin(name);
    for (const char* value : values) ok = ok && file.FieldWriteC(value);
    return ok && file.FieldWriteEnd();
}

bool WriteTypeFields(KZeq& file, const char* type, const std::vector<const char*>& flags) {
    return ZeqWriteFieldC(file, "Type", type) && WriteFieldCn(file, "TypeFlags", flags);
}

// Which channels the "AnimatedProperty" and "Animated" lists name beside
// translation, rotation and scaling: by attribute kind (a marker's rows by
// marker type), the channel found by data type or by its node and leaf names.
struct AnimatedRow {
    int mKind;  // 0 any node, 'L' light, 'C' camera, else 'M' + marker type
    const char* mMember;
    const char* mChannel;
    KDataType* mDataType;
    const char* mNode;
    const char* mLeaf;
};
const AnimatedRow kAnimatedRows[] = {
    {0, "mVisibilityProperty", "Visibility", &KDataTypeVisibility, nullptr, nullptr},
    {'L', "mLightColor", "Color", nullptr, "Color", "XYZ"},
    {'L', "mIntensity", "Intensity", nullptr, nullptr, "Intensity"},
    {'L', "mConeAngle", "Cone angle", nullptr, nullptr, "Cone angle"},
    {'L', "mFog", "Fog", nullptr, nullptr, "Fog"},
    {'C', "mRollProperty", "Roll", nullptr, nullptr, "Roll"},
    {'C', "mApertureProperty", "FieldOfView", nullptr, nullptr, "FieldOfView"},
    {'C', "mFieldOfViewXProperty", "FieldOfViewX", nullptr, nullptr, "FieldOfViewX"},
    {'C', "mFieldOfViewYProperty", "FieldOfViewY", nullptr, nullptr, "FieldOfViewY"},
    {'C', "mOpticalCenterXProperty", "OpticalCenterX", nullptr, nullptr, "OpticalCenterX"},
    {'C', "mOpticalCenterYProperty", "OpticalCenterY", nullptr, nullptr, "OpticalCenterY"},
    {'C', "mTurnTableProperty", "TurnTable", nullptr, nullptr, "TurnTable"},
    {'C', "mBackColorProperty", "BackgroundColor", nullptr, "BackgroundColor (Color)", "XYZ"},
    {'M' + 1, "Occlusion", "Occlusion", &KDataTypeOcclusion, nullptr, nullptr},
    {'M' + 2, "IK Reach Translation", "IK Reach Translation", &KDataTypeIKReachTranslation, nullptr, nullptr},
    {'M' + 2, "IK Reach Rotation", "IK Reach Rotation", &KDataTypeIKReachRotation, nullptr, nullptr},
};

// Hiding a node sets its property alone, while readers take the visibility
// from the channel last: the channel takes the property's value (channels
// not made yet keep theirs unmade).
void ShowVisibilityInChannel(KZeqNode& node) {
    KZeqTakeNode* take = node.GetDefaultTakeNode();
    if (!take) return;
    const float shown = static_cast<float>(node.GetDefaultVisibility());
    if (take->IsDeferred()) {
        if (take->GetStandardValues()[KZeqTakeNode::eVisibility] != shown)
            take->SetStandardValue(KZeqTakeNode::eVisibility, shown);
    } else if (KFCurve* visibility = take->GetVisibility()) {
        if (visibility->GetValue() != shown) visibility->SetValue(shown);
    }
}

bool IsAnimated(KZeqNode& node, const AnimatedRow& row) {
    if (row.mDataType) return node.IsChannelAnimated(nullptr, nullptr, row.mDataType);
    if (!row.mNode) return node.IsChannelAnimated(nullptr, nullptr, row.mLeaf);
    for (const char* axis : {"X", "Y", "Z"})
        if (node.IsChannelAnimated(nullptr, row.mNode, axis)) return true;
    return false;
}

}  // namespace

void RemoveTypeIdentifierFromName(KString& name) {
    for (int type = 0; type <= KZeqUserProperty::eVECTOR; ++type) {
        const KString suffix =
            KString(" (") + KZeqUserProperty::GetPropertyTypeName(static_cast<KZeqUserProperty::EUserPropertyType>(type)) +
            ")";
        const int length = name.GetLen(), cut = length - suffix.GetLen();
        if (cut >= 0 && std::strcmp(name.Buffer() + cut, suffix.Buffer()) == 0) {
            name = name.Mid(0, static_cast<unsigned>(cut));
            return;
        }
    }
}

bool KZeqWriterZeqBase::WriteKZeqNode(KZeqNode& node) {
    WriteKZeqNodeBegin(node);
    WriteKZeqNodeParameters(node);
    WriteKZeqNodeDefaultAttributes(node);
    WriteKZeqNodeChildrenList(node);
    return WriteKZeqNodeEnd(node);
}

bool KZeqWriterZeqBase::WriteKZeqNodeBegin(KZeqNode& node) {
    KZeq& file = *mFile;
    file.FieldWriteBegin("Model");
    file.FieldWriteC(node.GetName());
    if (!mFile->IsBeforeVersion6()) file.FieldWriteC(node.GetTypeName().Buffer());
    file.FieldWriteBlockBegin();
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeParameters(KZeqNode& node) {
    WriteKZeqNodeVersion(node);
    WriteKZeqNodeAnimationSettings(node);
    WriteKZeqNodeShading(node);
    WriteKZeqNodeCullingType(node);
    WriteKZeqNodeLimits(node);
    WriteKZeqNodeTarget(node);
    WriteKZeqNodeAnimatedProperties(node);
    WriteKZeqNodeAttribute(node);
    return WriteKZeqNodeProperties(node);
}

bool KZeqWriterZeqBase::WriteKZeqNodeVersion(KZeqNode&) {
    ZeqWriteFieldI(*mFile, "Version", mFile->IsBeforeVersion6() ? 194 : 231);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeAnimationSettings(KZeqNode& node) {
    ZeqWriteFieldI(*mFile, "MultiLayer", node.GetMultiLayer() ? 1 : 0);
    ZeqWriteFieldI(*mFile, "MultiTake", node.GetMultiTakeMode());
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeShading(KZeqNode& node) {
    KZeq& file = *mFile;
    if (!node.GetVisibility()) ZeqWriteFieldC(file, "Hidden", "True");
    const int mode = node.GetShadingMode();
    if (mode >= 1 && mode <= 5)
        file.FieldWriteBegin("Shading") && file.FieldWriteCH(kShadingCharacters[mode]) && file.FieldWriteEnd();
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeCullingType(KZeqNode& node) {
    const int type = node.GetCullingType();
    ZeqWriteFieldC(*mFile, "Culling", type == 1 ? "CullingOnCCW" : type == 2 ? "CullingOnCW" : "CullingOff");
    return true;
}

// Version 6 keeps limits in the property block.
bool KZeqWriterZeqBase::WriteKZeqNodeLimits(KZeqNode& node) {
    if (mFile->IsBeforeVersion6() && kZeqNodeWriterHooks.mLimits) kZeqNodeWriterHooks.mLimits(*this, node);
    return true;
}

// Both layouts: version 6 keeps the post-target rotation and up vector here.
bool KZeqWriterZeqBase::WriteKZeqNodeTarget(KZeqNode& node) {
    if (kZeqNodeWriterHooks.mTarget) kZeqNodeWriterHooks.mTarget(*this, node);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeAnimatedProperties(KZeqNode& node) {
    if (!mFile->IsBeforeVersion6()) return true;
    KZeq& file = *mFile;
    std::vector<const char*> members = {"mTranslationProperty", "mRotationProperty", "mScalingProperty"};
    std::vector<const char*> channels = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling"};
    const int kind = node.GetLight()    ? 'L'
                     : node.GetCamera() ? 'C'
                     : node.GetMarker() ? 'M' + node.GetMarker()->GetType()
                                        : -1;
    for (const AnimatedRow& row : kAnimatedRows) {
        if ((row.mKind == 0 || row.mKind == kind) && IsAnimated(node, row)) {
            members.push_back(row.mMember);
            channels.push_back(row.mChannel);
        }
    }
    std::vector<KString> names;
    std::vector<KZeqUserProperty*> users;
    for (int i = 0; i < node.GetPropertyCount(); ++i) {
        if (!node.PeekFlag(i, KZeqUserProperty::eUSER)) continue;
        KZeqUserProperty* property = node.GetProperty(i);
        users.push_back(property);
        names.push_back(property->GetName());
        RemoveTypeIdentifierFromName(names.back());
    }
    for (const KString& name : names) members.push_back(name.Buffer()), channels.push_back(name.Buffer());
    WriteFieldCn(file, "AnimatedProperty", members);
    WriteFieldCn(file, "Animated", channels);
    for (std::size_t i = 0; i < users.size(); ++i) {
        KZeqUserProperty& property = *users[i];
        ZeqWriteBlockBegin(file, "UserProperty");
        ZeqWriteFieldC(file, "Name", names[i].Buffer());
        ZeqWriteFieldC(file, "Type", KZeqUserProperty::GetPropertyTypeName(property.GetPropertyType()));
        ZeqWriteFieldC(file, "Label", property.GetLabel(true).Buffer());
        if (std::isfinite(property.GetMinLimit())) WriteFieldD(file, "Min", property.GetMinLimit());
        if (std::isfinite(property.GetMaxLimit())) WriteFieldD(file, "Max", property.GetMaxLimit());
        ZeqWriteBlockEnd(file);
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeAttribute(KZeqNode& node) {
    KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    const int type = attribute ? attribute->GetAttributeType() : 0;
    const bool geometry = type >= KZeqNodeAttribute::eMESH && type <= KZeqNodeAttribute::ePATCH;
    ZeqWriteNodeRecord write = type >= 1 && type <= 10 ? kZeqAttributeWriters[type] : nullptr;
    if (geometry && !mOptions->GetOption(KStreamOptionsZeq::eGEOMETRY)) write = nullptr;
    return write ? write(*this, node) : WriteKZeqNull(nullptr);
}

bool KZeqWriterZeqBase::WriteKZeqNodeProperties(KZeqNode& node) {
    if (mFile->IsBeforeVersion6()) return true;
    node.UpdatePropertiesFromPivotsInEffectAndLimits();
    // The block gives the visibility of the channel, which takes the property's first.
    ShowVisibilityInChannel(node);
    ZeqWritePropertyBlock(*mFile, node);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeDefaultAttributes(KZeqNode& node) {
    ShowVisibilityInChannel(node);
    KZeqTakeNode* take = node.GetDefaultTakeNode();
    if (take && take->IsDeferred()) {
        // Channels not made yet are written as they would be, and stay unmade.
        take->StoreChannels(mFile, true, true, true, true, mFile->IsBeforeVersion6());
        return true;
    }
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    for (int i = 0; root && i < root->GetCount(); ++i)
        root->Get(i)->ZeqStore(mFile, true, true, true, "Channel", true, mFile->IsBeforeVersion6());
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeChildrenList(KZeqNode& node) {
    if (!mFile->IsBeforeVersion6() || node.GetChildCount() == 0) return true;
    std::vector<const char*> children;
    for (int i = 0; i < node.GetChildCount(); ++i) children.push_back(node.GetChild(i)->GetName());
    WriteFieldCn(*mFile, "Children", children);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqNodeEnd(KZeqNode&) {
    ZeqWriteBlockEnd(*mFile);
    return true;
}

// ---- Attribute records ------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteKZeqNull(KZeqNull* null) {
    KZeq& file = *mFile;
    WriteTypeFields(file, "Null", {"Null"});
    ZeqWriteBlockBegin(file, "Properties");
    ZeqWriteFieldI(file, "Version", 100);
    WriteFieldD(file, "Size", null ? null->GetSize() : KZeqNull::GetSizeDefaultValue());
    ZeqWriteBlockEnd(file);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqMarker(KZeqNode& node) {
    KZeqMarker* marker = node.GetMarker();
    if (!marker) return WriteKZeqNull(nullptr);
    KZeq& file = *mFile;
    const KString type = marker->GetTypeName();
    WriteTypeFields(file, type.Buffer(), {"Marker"});
    const KZeqColor color = marker->GetColor();
    ZeqWriteBlockBegin(file, "Properties");
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWriteFieldI(file, "Look", marker->GetLook());
    WriteFieldD(file, "Size", marker->GetSize());
    WriteFieldDn(file, "Color", {color.mRed, color.mGreen, color.mBlue});
    ZeqWriteFieldI(file, "ShowLabel", marker->GetShowLabel() ? 1 : 0);
    ZeqWriteBlockEnd(file);
    // Older readers take the colour from a channel.
    ZeqWriteBlockBegin(file, "Channel", "Color");
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    for (int i = 0; i < 3; ++i) {
        ZeqWriteBlockBegin(file, "Channel", i == 0 ? "X" : i == 1 ? "Y" : "Z");
        WriteFieldD(file, "Default", rgb[i]);
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockEnd(file);
    WriteFieldD(file, "IKReachRotation", marker->GetDefaultIKReachRotation());
    WriteFieldD(file, "IKReachTranslation", marker->GetDefaultIKReachTranslation());
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqOpticalReference() {
    WriteTypeFields(*mFile, "Optical", {"Marker"});
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqSkeleton(KZeqSkeleton& skeleton) {
    const KZeqSkeleton::ESkeletonType type = skeleton.GetSkeletonType();
    // A type of no record would come back as a mesh: the null record instead.
    if (type < KZeqSkeleton::eROOT || type > KZeqSkeleton::eEFFECTOR) return WriteKZeqNull(nullptr);
    KZeq& file = *mFile;
    const bool limb = type == KZeqSkeleton::eLIMB, limbNode = type == KZeqSkeleton::eLIMB_NODE;
    if (limb || limbNode)
        WriteTypeFields(file, limb ? "Limb" : "LimbNode", {"Skeleton"});
    else
        WriteTypeFields(file, "Root", {"Null", "Skeleton", "Root"});  // effectors too
    if (limb) WriteFieldD(file, "LimbLength", skeleton.GetLimbLength());
    ZeqWriteBlockBegin(file, "Properties");
    ZeqWriteFieldI(file, "Version", 100);
    WriteFieldD(file, "Size", skeleton.GetLimbNodeSize());
    if (limb || limbNode) {
        const KZeqColor color = skeleton.GetLimbNodeColor();
        WriteFieldDn(file, "Color", {color.mRed, color.mGreen, color.mBlue});
    }
    ZeqWriteBlockEnd(file);
    return true;
}

bool ZeqWriteNodeRecordOf(KZeqWriterZeqBase& writer, KZeqNode& node) { return writer.WriteKZeqNode(node); }

bool ZeqWriteNullAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) { return writer.WriteKZeqNull(node.GetNull()); }

bool ZeqWriteMarkerAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) { return writer.WriteKZeqMarker(node); }

bool ZeqWriteSkeletonAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqSkeleton* skeleton = node.GetSkeleton();
    return skeleton ? writer.WriteKZeqSkeleton(*skeleton) : writer.WriteKZeqNull(nullptr);
}

bool ZeqWriteOpticalReferenceAttribute(KZeqWriterZeqBase& writer, KZeqNode&) {
    return writer.WriteKZeqOpticalReference();
}

}  // namespace zeqsdk_400
