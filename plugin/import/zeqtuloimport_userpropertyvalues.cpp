// User-property values: the animation of the imported take and the static value of each user
// property of a node, onto the host attribute that carries it (made on demand, but not in
// exclusive merge).
#include <cmath>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "tfnattribute.h"
#include "tfntransform.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {

// A channel counts as set when it is keyed or its default is not 0 (a NaN is not 0).
bool IsSet(const KFCurve& curve) {
    const float value = curve.GetValue();
    return curve.KeyGetCount() > 0 || !(value == 0.0f);
}

// The curve of a curve node; a node without one is taken as missing.
KFCurve* CurveOf(KFCurveNode* node) { return node ? node->FCurveGet() : nullptr; }

void SetOneChannel(TPlug& plug, int unitType, KZeqUserProperty& property, KFCurve* curve) {
    const bool set = IsSet(*curve);
    switch (property.GetPropertyType()) {
    case KZeqUserProperty::eBOOL: {
        bool value = false;
        if (set) value = curve->GetValue() > 0;
        else property.GetDefaultValue(value);
        if (unitType == TFnNumericData::kBoolean) plug.setValue(value);
        break;
    }
    case KZeqUserProperty::eREAL: {
        double value = 0.0;
        if (set) value = curve->GetValue();
        else property.GetDefaultValue(value);
        if (unitType == TFnNumericData::kDouble) plug.setValue(value);
        else plug.setValue(static_cast<float>(value));
        break;
    }
    case KZeqUserProperty::eINTEGER: {
        int value = 0;
        if (set) {
            // Truncated toward zero; what no 32-bit integer holds (and a NaN) is clamped.
            const double d = curve->GetValue();
            value = std::isnan(d) ? 0 : d >= 2147483647.0 ? 2147483647 : d <= -2147483648.0 ? -2147483647 - 1
                                                                                             : static_cast<int>(d);
        } else {
            property.GetDefaultValue(value);
        }
        if (unitType == TFnNumericData::kInt || unitType == TFnNumericData::kShort) {
            plug.setValue(value);
        } else if (unitType == TFnNumericData::kByte || unitType == TFnNumericData::kChar) {
            plug.setValue(static_cast<char>(static_cast<unsigned char>(static_cast<unsigned int>(value) & 0xFFu)));
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

TStatus ZeqTuloImport::ImportUserProperties(ZeqTuloNode& node) {
    TStatus result = TStatus::kFailure;
    TDagPath* path = node.GetDagPath();
    if (!path) return result;
    TFnTransform transform(*path, &result);
    const TObject transformNode = path->transform(&result);
    if (!result) return result;

    const int count = node.GetPropertyCount();
    for (int index = 0; index < count; ++index) {
        KZeqUserProperty* property = node.GetProperty(index);
        if (!property || !property->GetFlag(KZeqUserProperty::eUSER)) continue;
        const KString label = property->GetLabel(true);
        const KString* attributeName = node.GetUserPropertyName(label.Buffer());
        if (!attributeName) {
            if (ZeqTuloUserParams::Instance()->GetImportType() == KZeqUserParams::kExclusiveMerge) continue;
            AddUserProperty(property, transform, &node);
            attributeName = node.GetUserPropertyName(label.Buffer());
            if (!attributeName) continue;
        }
        const TObject attribute = transform.attribute(TString(attributeName->Buffer()), &result);
        if (!result) continue;
        KZeqTakeNode* take = node.GetCurrentTakeNode();
        KFCurveNode* tree = take ? take->GetKFCurveNode() : nullptr;
        if (!tree) continue;

        TPlug plug(transformNode, attribute);
        TFnNumericAttribute numeric(attribute, &result);
        // An attribute that is not numeric has no unit type: no setter fits it but the float.
        const int unitType = result ? static_cast<int>(numeric.unitType()) : TFnNumericData::kInvalid;
        const KString name = property->GetName();
        // The property's own channel, as the node made it: a search of the whole tree would
        // take a transform channel of the same name ("X") first.
        KFCurveNode* curveNode = FindPropertyChannel(tree, name);

        switch (property->GetPropertyType()) {
        case KZeqUserProperty::eBOOL:
        case KZeqUserProperty::eREAL:
        case KZeqUserProperty::eINTEGER: {
            KFCurve* curve = CurveOf(curveNode);
            if (!curve) break;
            TStatus transfer;
            SetTuloCurve(transform, attributeName->Buffer(), *curve, TFnAnimCurve::kAnimCurveTU, 1.0, 1.0, &transfer);
            SetOneChannel(plug, unitType, *property, curve);
            break;
        }
        case KZeqUserProperty::eCOLOR:
        case KZeqUserProperty::eVECTOR: {
            // A merged attribute of another shape has no three children to take the channels.
            if (plug.numChildren() < 3) break;
            double values[3] = {0.0, 0.0, 0.0};
            bool set = false;
            static const char* const kChannels[3] = {"X", "Y", "Z"};
            for (unsigned channel = 0; curveNode && channel < 3; ++channel) {
                KFCurve* curve = CurveOf(curveNode->FindRecursive(kChannels[channel]));
                if (!curve) continue;
                const TString childName = plug.child(channel).partialName(false, false, false, false, false, false);
                TStatus transfer;
                SetTuloCurve(transform, childName.asChar(), *curve, TFnAnimCurve::kAnimCurveTU, 1.0, 1.0, &transfer);
                values[channel] = curve->GetValue();
                set = set || IsSet(*curve);
            }
            if (!set) property->GetDefaultValue(values[0], values[1], values[2]);
            for (unsigned channel = 0; channel < 3; ++channel) {
                TPlug child = plug.child(channel);
                if (unitType == TFnNumericData::k3Double) child.setValue(values[channel]);
                else child.setValue(static_cast<float>(values[channel]));
            }
            break;
        }
        default:
            break;
        }
    }
    return result;
}
