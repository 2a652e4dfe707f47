#include "scene/kzequserproperty.h"

#include <cmath>
#include <cstring>

#include "object/kproperty.h"
#include "scene/kzeqpropertyhandler.h"

namespace zeqsdk_400 {

namespace {

constexpr const char* kTypeNames[] = {"Unidentified", "Bool", "Real", "Color", "Integer", "Vector"};
constexpr int kTypeCount = static_cast<int>(sizeof(kTypeNames) / sizeof(kTypeNames[0]));

// User-property flag and the property-information bit it stands for.
struct FlagRow {
    int mFlag;
    KPropertyInfo::kFlags mInfoFlag;
};
constexpr FlagRow kFlagRows[] = {
    {KZeqUserProperty::eANIMATABLE, KPropertyInfo::kFlagAnimatable},
    {KZeqUserProperty::eUSER, KPropertyInfo::kFlagUser},
    {KZeqUserProperty::eTEMPORARY, KPropertyInfo::kFlagTemporary},
};

KZeqUserProperty::EUserPropertyType TypeOfCode(kPropertyType code) {
    switch (code) {
        case kPropertyTypeInteger: return KZeqUserProperty::eINTEGER;
        case kPropertyTypeBool: return KZeqUserProperty::eBOOL;
        case kPropertyTypeFloat:
        case kPropertyTypeDouble: return KZeqUserProperty::eREAL;
        case kPropertyTypeVector: return KZeqUserProperty::eVECTOR;
        case kPropertyTypeColor:
        case kPropertyTypeColorRGBA: return KZeqUserProperty::eCOLOR;
        default: return KZeqUserProperty::eUNIDENTIFIED;
    }
}

bool IsColorCode(kPropertyType code) { return code == kPropertyTypeColor || code == kPropertyTypeColorRGBA; }

}  // namespace

KZeqUserProperty::EUserPropertyType GetPropertyTypeFromName(const char* typeName) {
    if (!typeName) return KZeqUserProperty::eUNIDENTIFIED;
    for (int i = 1; i < kTypeCount; ++i)
        if (std::strcmp(kTypeNames[i], typeName) == 0) return static_cast<KZeqUserProperty::EUserPropertyType>(i);
    return KZeqUserProperty::eUNIDENTIFIED;
}

const char* KZeqUserProperty::GetPropertyTypeName(EUserPropertyType type) {
    const int index = static_cast<int>(type);
    return index >= 0 && index < kTypeCount ? kTypeNames[index] : nullptr;
}

KZeqUserProperty::KZeqUserProperty(KZeqSdkManager& manager, const char* name, const char* typeName,
                                   const char* label)
    : KZeqUserProperty(manager, name, GetPropertyTypeFromName(typeName), label, eNO_FLAG) {}

KZeqUserProperty::KZeqUserProperty(KZeqSdkManager& manager, const char* name, EUserPropertyType type,
                                   const char* label, EFlags flags)
    : mRecord(new Record{KString(name ? name : ""), type, KString(label ? label : ""), -HUGE_VAL, HUGE_VAL,
                         static_cast<int>(flags)}),
      mManager(&manager) {}

KZeqUserProperty::KZeqUserProperty(KZeqSdkManager& manager, KProperty* property)
    : mProperty(property), mManager(&manager) {}

KZeqUserProperty::~KZeqUserProperty() = default;

KProperty* KZeqUserProperty::GetKProperty() const { return static_cast<KProperty*>(mProperty.Get()); }

KZeqPropertyHandler* KZeqUserProperty::GetPropertyHandler() const {
    return static_cast<KZeqPropertyHandler*>(mHandler.Get());
}

void KZeqUserProperty::SetPropertyHandler(KZeqPropertyHandler* handler) { mHandler = handler; }

KString KZeqUserProperty::GetName() const {
    if (KProperty* property = GetKProperty()) return KString(property->GetPropertyName());
    return mRecord ? mRecord->mName : KString();
}

bool KZeqUserProperty::HasName(const char* name) const {
    if (!name) name = "";
    if (KProperty* property = GetKProperty()) return std::strcmp(property->GetPropertyName(), name) == 0;
    return mRecord ? mRecord->mName == name : *name == 0;
}

KString KZeqUserProperty::GetLabel(bool nameAsFallback) const {
    KString label;
    if (KProperty* property = GetKProperty())
        label = property->GetPropertyLabel();
    else if (mRecord)
        label = mRecord->mLabel;
    if (nameAsFallback && label.IsEmpty()) return GetName();
    return label;
}

void KZeqUserProperty::SetLabel(KString label) {
    if (KProperty* property = GetKProperty())
        property->SetPropertyLabel(label.Buffer());
    else if (mRecord)
        mRecord->mLabel = label;
}

KZeqUserProperty::EUserPropertyType KZeqUserProperty::GetPropertyType() const {
    if (KProperty* property = GetKProperty()) return TypeOfCode(property->GetPropertyType());
    return mRecord ? mRecord->mType : eUNIDENTIFIED;
}

double KZeqUserProperty::GetMinLimit() const {
    if (KProperty* property = GetKProperty()) return property->GetPropertyMin();
    return mRecord ? mRecord->mMin : -HUGE_VAL;
}

double KZeqUserProperty::GetMaxLimit() const {
    if (KProperty* property = GetKProperty()) return property->GetPropertyMax();
    return mRecord ? mRecord->mMax : HUGE_VAL;
}

void KZeqUserProperty::SetMinLimit(double min) {
    if (mRecord) mRecord->mMin = min;
    if (KProperty* property = GetKProperty()) property->SetPropertyMin(min);
}

void KZeqUserProperty::SetMaxLimit(double max) {
    if (mRecord) mRecord->mMax = max;
    if (KProperty* property = GetKProperty()) property->SetPropertyMax(max);
}

void KZeqUserProperty::SetLimits(double min, double max) {
    if (mRecord) {
        mRecord->mMin = min;
        mRecord->mMax = max;
    }
    if (KProperty* property = GetKProperty()) property->SetPropertyMinMax(min, max);
}

bool KZeqUserProperty::GetFlagOf(const KProperty* property, EFlags flags) {
    if (!property) return false;
    for (const FlagRow& row : kFlagRows)
        if (row.mFlag == flags) return property->GetPropertyInfo().GetFlag(row.mInfoFlag);
    return false;
}

bool KZeqUserProperty::GetFlag(EFlags flags) const {
    if (KProperty* property = GetKProperty()) return GetFlagOf(property, flags);
    return mRecord && (mRecord->mFlags & flags) != 0;
}

void KZeqUserProperty::ModifyFlag(EFlags flags, bool on) {
    if (mRecord) mRecord->mFlags = on ? (mRecord->mFlags | flags) : (mRecord->mFlags & ~static_cast<int>(flags));
    if (KProperty* property = GetKProperty())
        for (const FlagRow& row : kFlagRows)
            if (flags & row.mFlag) property->GetPropertyInfo().ModifyFlag(row.mInfoFlag, on);
}

bool KZeqUserProperty::operator==(KProperty* property) const {
    KProperty* wrapped = GetKProperty();
    return wrapped && wrapped == property;
}

void KZeqUserProperty::DefaultChanged() {
    if (KZeqPropertyHandler* handler = GetPropertyHandler()) handler->DefaultValueChanged(this);
}

void KZeqUserProperty::SetDefaultValue(bool value) { SetDefaultValue(value ? 1 : 0); }

void KZeqUserProperty::SetDefaultValue(int value) {
    KProperty* property = GetKProperty();
    if (!property) return;
    property->SetInteger(value);
    DefaultChanged();
}

void KZeqUserProperty::SetDefaultValue(double value) {
    KProperty* property = GetKProperty();
    if (!property) return;
    property->SetDouble(value);
    DefaultChanged();
}

void KZeqUserProperty::SetDefaultValue(KZeqColor& value) {
    KProperty* property = GetKProperty();
    if (!property || !IsColorCode(property->GetPropertyType())) return;
    // Three doubles for a colour, four with alpha; the colour's own alpha is not used.
    double data[4] = {value.mRed, value.mGreen, value.mBlue, 1.0};
    if (property->SetData(data)) DefaultChanged();
}

void KZeqUserProperty::SetDefaultValue(double x, double y, double z) {
    KProperty* property = GetKProperty();
    if (!property) return;
    const kPropertyType code = property->GetPropertyType();
    if (IsColorCode(code)) {
        KZeqColor color(x, y, z, 1.0);
        SetDefaultValue(color);
    } else if (code == kPropertyTypeVector) {
        double data[4] = {x, y, z, 1.0};
        if (property->SetData(data)) DefaultChanged();
    }
}

void KZeqUserProperty::GetDefaultValue(bool& value) const {
    if (KProperty* property = GetKProperty()) value = property->AsInteger() != 0;
}

void KZeqUserProperty::GetDefaultValue(int& value) const {
    if (KProperty* property = GetKProperty()) value = property->AsInteger();
}

void KZeqUserProperty::GetDefaultValue(double& value) const {
    if (KProperty* property = GetKProperty()) value = property->AsDouble();
}

void KZeqUserProperty::GetDefaultValue(KZeqColor& value) const {
    KProperty* property = GetKProperty();
    if (!property) return;
    const kPropertyType code = property->GetPropertyType();
    if (!IsColorCode(code)) return;
    double data[4] = {0.0, 0.0, 0.0, code == kPropertyTypeColor ? 1.0 : 0.0};
    property->GetData(data);
    value.mRed = data[0];
    value.mGreen = data[1];
    value.mBlue = data[2];
}

void KZeqUserProperty::GetDefaultValue(double& x, double& y, double& z) const {
    KProperty* property = GetKProperty();
    if (!property) return;
    const kPropertyType code = property->GetPropertyType();
    if (IsColorCode(code)) {
        KZeqColor color;
        GetDefaultValue(color);
        x = color.mRed;
        y = color.mGreen;
        z = color.mBlue;
    } else if (code == kPropertyTypeVector) {
        double data[4] = {0.0, 0.0, 0.0, 1.0};
        property->GetData(data);
        x = data[0];
        y = data[1];
        z = data[2];
    }
}

}  // namespace zeqsdk_400
