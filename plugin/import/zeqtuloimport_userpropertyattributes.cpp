// User properties become dynamic numeric attributes of the new host node, named after their
// labels; the node remembers which attribute carries which property.
#include <cctype>
#include <cmath>
#include <string>

#include "plugin/import/zeqtuloimport.h"
#include "scene/kzequserproperty.h"
#include "tfnattribute.h"
#include "tfntransform.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

// The label as the host takes names: blanks (and any other character the host refuses) become "_",
// and a leading digit gets a "_" before it.
std::string HostAttributeName(const std::string& label, int suffix) {
    std::string name = label;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) name.insert(name.begin(), '_');
    if (suffix > 0) name += std::to_string(suffix);
    return name;
}

// A new, unattached attribute for the property; null for a type no attribute carries.
TObject CreatePropertyAttribute(KZeqUserProperty& property, const TString& name) {
    TFnNumericAttribute numeric;
    TStatus status;
    TObject attribute;
    switch (property.GetPropertyType()) {
        case KZeqUserProperty::eBOOL:
            attribute = numeric.create(name, name, TFnNumericData::kBoolean, 0, &status);
            break;
        case KZeqUserProperty::eINTEGER:
            attribute = numeric.create(name, name, TFnNumericData::kInt, 0, &status);
            break;
        case KZeqUserProperty::eREAL:
            attribute = numeric.create(name, name, TFnNumericData::kDouble, 0, &status);
            break;
        case KZeqUserProperty::eVECTOR:
            attribute = numeric.create(name, name, TFnNumericData::k3Double, 0, &status);
            break;
        case KZeqUserProperty::eCOLOR:
            attribute = numeric.createColor(name, name, &status);
            break;
        default:
            return TObject();
    }
    if (!status) return TObject();
    numeric.setHidden(false);
    numeric.setKeyable(true);
    numeric.setInternal(true);
    if (property.GetPropertyType() == KZeqUserProperty::eINTEGER ||
        property.GetPropertyType() == KZeqUserProperty::eREAL) {
        const double min = property.GetMinLimit(), max = property.GetMaxLimit();
        if (std::isfinite(min)) numeric.setSoftMin(min);
        if (std::isfinite(max)) numeric.setSoftMax(max);
    }
    return attribute;
}

}  // namespace

void ZeqTuloImport::AddUserProperty(KZeqUserProperty* property, TFnTransform& transform, ZeqTuloNode* node) {
    if (!property || !node) return;
    const std::string label = property->GetLabel(true).Buffer();
    // The label, then the label and 1 to 9, while the host answers that the name is in use.
    for (int suffix = 0; suffix <= 9; ++suffix) {
        const std::string name = HostAttributeName(label, suffix);
        const TObject attribute = CreatePropertyAttribute(*property, TString(name.c_str()));
        if (attribute.isNull()) return;
        const TStatus added = transform.addAttribute(attribute, 2);
        if (added) {
            node->SetUserPropertyName(label.c_str(), name.c_str());
            return;
        }
        TGlobal::deleteNode(attribute);
        if (added.statusCode() != 3) return;
    }
}

void ZeqTuloImport::AddUserProperties(TFnTransform& transform, ZeqTuloNode* node) {
    // A node without attribute (a group of another program, a camera's look-at group) has its host
    // transform all the same: its properties come in with it.
    if (!node) return;
    for (int i = 0; i < node->GetPropertyCount(); ++i) {
        KZeqUserProperty* property = node->GetProperty(i);
        if (property && property->GetFlag(KZeqUserProperty::eUSER)) AddUserProperty(property, transform, node);
    }
}
