// User attributes of host transforms as user properties: numeric single values and three-value
// compounds (colours and vectors), with their current values and soft limits, and their animation
// in the node's current take.
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "tfnanimcurve.h"
#include "tfnattribute.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

enum : int { kSingle = 548, kThreeFloats = 721, kThreeDoubles = 722 };

// Host unit types of single values and the property type they become; others are not exported.
struct UnitRow {
    int mUnitType;
    KZeqUserProperty::EUserPropertyType mType;
};
const UnitRow kSingleTypes[] = {
    {TFnNumericData::kBoolean, KZeqUserProperty::eBOOL},   {TFnNumericData::kByte, KZeqUserProperty::eINTEGER},
    {TFnNumericData::kChar, KZeqUserProperty::eINTEGER},   {TFnNumericData::kShort, KZeqUserProperty::eINTEGER},
    {TFnNumericData::kInt, KZeqUserProperty::eINTEGER},    {TFnNumericData::kFloat, KZeqUserProperty::eREAL},
    {TFnNumericData::kDouble, KZeqUserProperty::eREAL},
};

KZeqUserProperty::EUserPropertyType SingleType(int unitType) {
    for (const UnitRow& row : kSingleTypes)
        if (row.mUnitType == unitType) return row.mType;
    return KZeqUserProperty::eUNIDENTIFIED;
}

bool IsThreeValues(int apiType) { return apiType == kThreeFloats || apiType == kThreeDoubles; }

// The current value as the attribute's type reads it, else the attribute's default.
void SetSingleDefault(KZeqUserProperty& property, const TFnNumericAttribute& attribute, const TPlug* plug) {
    switch (static_cast<int>(attribute.unitType())) {
    case TFnNumericData::kBoolean: {
        bool value = false;
        if (!plug || !plug->getValue(value)) attribute.getDefault(value);
        property.SetDefaultValue(value);
        break;
    }
    case TFnNumericData::kByte:
    case TFnNumericData::kChar: {
        // Both read as a character; a byte holds 0 to 255, so 200 stays 200 (a char holds -128 to 127).
        char value = 0;
        if (!plug || !plug->getValue(value)) attribute.getDefault(value);
        const bool byte = attribute.unitType() == TFnNumericData::kByte;
        property.SetDefaultValue(byte ? static_cast<int>(static_cast<unsigned char>(value))
                                      : static_cast<int>(static_cast<signed char>(value)));
        break;
    }
    case TFnNumericData::kShort:
    case TFnNumericData::kInt: {
        int value = 0;
        if (!plug || !plug->getValue(value)) attribute.getDefault(value);
        property.SetDefaultValue(value);
        break;
    }
    case TFnNumericData::kFloat: {
        float value = 0;
        if (!plug || !plug->getValue(value)) attribute.getDefault(value);
        property.SetDefaultValue(static_cast<double>(value));
        break;
    }
    default: {
        double value = 0;
        if (!plug || !plug->getValue(value)) attribute.getDefault(value);
        property.SetDefaultValue(value);
        break;
    }
    }
}

template <class T>
bool ReadChildren(const TPlug& plug, double* values) {
    for (unsigned i = 0; i < 3; ++i) {
        T value = 0;
        TStatus status;
        const TPlug child = plug.child(i, &status);
        if (!status || !child.getValue(value)) return false;
        values[i] = value;
    }
    return true;
}

template <class T>
void SetTripleDefault(KZeqUserProperty& property, const TFnNumericAttribute& attribute, const TPlug* plug) {
    double values[3] = {0, 0, 0};
    if (!plug || !ReadChildren<T>(*plug, values)) {
        T a = 0, b = 0, c = 0;
        attribute.getDefault(a, b, c);
        values[0] = a, values[1] = b, values[2] = c;
    }
    property.SetDefaultValue(values[0], values[1], values[2]);
}

}  // namespace

void ZeqTuloExport::AddUserProperties(ZeqTuloNode* root) {
    if (!root) return;
    // Children before their parent, without recursion: chains may be deep.
    std::vector<std::pair<ZeqTuloNode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        auto& top = pending.back();
        if (top.second < top.first->GetChildCount(false)) {
            ZeqTuloNode* child = static_cast<ZeqTuloNode*>(top.first->GetChild(top.second++));
            pending.emplace_back(child, 0);
            continue;
        }
        ZeqTuloNode* node = top.first;
        pending.pop_back();
        const TDagPath* path = node->GetDagPath();
        if (!path) continue;
        TStatus status;
        TFnTransform transform(path->transform(), &status);
        if (status) AddUserProperties(transform, node);
    }
}

void ZeqTuloExport::AddUserProperties(TFnTransform& transform, ZeqTuloNode* node) {
    TStatus status;
    const unsigned count = transform.attributeCount(&status);
    // A node without attribute (a look-at group, an ambient light) keeps its user's attributes too:
    // an import gives them to such nodes, and the file carries them on any node.
    if (!status || !node) return;
    for (unsigned index = 0; index < count; ++index) {
        TObject attribute = transform.attribute(index);
        if (transform.attributeClass(attribute) != TFnDependencyNode::kNormalAttr) continue;
        if (IsRendererDynamicAttribute(attribute)) continue;
        // The plug-in's tag on nodes an import made is no user data: exported as a property it
        // would come back as a user attribute of the tag's short name, which keeps the tag off.
        if (FMIsQuorbelTag(attribute)) continue;
        const int apiType = static_cast<int>(attribute.apiType());
        if (apiType != kSingle && !IsThreeValues(apiType)) continue;

        const TFnNumericAttribute numeric(attribute);
        KZeqUserProperty::EUserPropertyType type;
        if (apiType == kSingle) {
            if (IsThreeValues(static_cast<int>(numeric.parent().apiType()))) continue;  // exported with its parent
            type = SingleType(static_cast<int>(numeric.unitType()));
            if (type == KZeqUserProperty::eUNIDENTIFIED) continue;
        } else {
            type = numeric.isUsedAsColor() ? KZeqUserProperty::eCOLOR : KZeqUserProperty::eVECTOR;
        }

        const TString shortName = numeric.shortName();
        TStatus plugStatus;
        const TPlug plug = transform.findPlug(shortName, &plugStatus);
        const TPlug* found = plugStatus && !plug.isNull() ? &plug : nullptr;

        KZeqUserProperty* property = mSdkManager.CreateKZeqUserProperty(
            shortName.asChar(), KZeqUserProperty::GetPropertyTypeName(type), shortName.asChar());
        if (!property) continue;
        property->ModifyFlag(KZeqUserProperty::eUSER, true);
        property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
        node->AddProperty(property);

        if (apiType == kSingle) {
            SetSingleDefault(*property, numeric, found);
            double limit = 0;
            if (numeric.hasSoftMin() && numeric.getSoftMin(limit)) property->SetMinLimit(limit);
            if (numeric.hasSoftMax() && numeric.getSoftMax(limit)) property->SetMaxLimit(limit);
        } else if (numeric.unitType() == TFnNumericData::k3Float) {
            SetTripleDefault<float>(*property, numeric, found);
        } else if (numeric.unitType() == TFnNumericData::k3Double) {
            SetTripleDefault<double>(*property, numeric, found);
        }
    }
}

TStatus ZeqTuloExport::ExportUserProperties(ZeqTuloNode& node, TFnTransform& transform) {
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    if (!root) return TStatus::kSuccess;
    // One host curve into a fresh curve that replaces the channel's, which keeps its default value.
    const auto exportChannel = [this](KFCurveNode& channel, const TPlug& plug) {
        TStatus status;
        TFnAnimCurve host(plug, &status);
        if (!status || host.numKeys() == 0) return;
        KFCurve* curve = KFCurveCreate();
        if (!curve) return;
        if (channel.FCurveGet()) curve->SetValue(channel.FCurveGet()->GetValue());
        SetFCurve(host, *curve, false, 1.0);
        channel.FCurveSet(curve, true);
    };
    for (int i = 0; i < node.GetPropertyCount(); ++i) {
        KZeqUserProperty* property = node.GetProperty(i);
        if (!property || !property->GetFlag(KZeqUserProperty::eUSER)) continue;
        KFCurveNode* channel = root->FindRecursive(property->GetName().Buffer());
        TStatus status;
        const TPlug plug = transform.findPlug(TString(property->GetLabel(true).Buffer()), &status);
        if (!channel || !status || plug.isNull()) continue;
        switch (property->GetPropertyType()) {
        case KZeqUserProperty::eBOOL:
        case KZeqUserProperty::eREAL:
        case KZeqUserProperty::eINTEGER:
            exportChannel(*channel, plug);
            break;
        case KZeqUserProperty::eCOLOR:
        case KZeqUserProperty::eVECTOR:
            for (int j = 0; j < channel->GetCount(); ++j) {
                KFCurveNode* component = channel->Get(j);
                TStatus childStatus;
                const TPlug child = plug.child(static_cast<unsigned>(j), &childStatus);
                if (component && childStatus && !child.isNull()) exportChannel(*component, child);
            }
            break;
        default:
            break;
        }
    }
    return TStatus::kSuccess;
}
