#ifndef ZEQ_CONTENT_KZEQANIMATEDPROPERTY_H
#define ZEQ_CONTENT_KZEQANIMATEDPROPERTY_H

#include "object/kdatatype.h"
#include "object/kobject.h"

namespace zeqsdk_400 {

// Appends to owner's list a property of the data type registered under that
// name, marked animatable and animated; null when the data type is unknown.
inline KProperty* KZeqAddAnimatedProperty(KObject& owner, const char* name, const char* dataTypeName) {
    KDataType* dataType = KDataTypeGet(dataTypeName);
    if (!dataType) return nullptr;
    KProperty* property =
        owner.CreatePropertyFromType(name, DataTypeToPropertyType(dataType), dataType, false, false, nullptr);
    if (!property) return nullptr;
    property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    return property;
}

}  // namespace zeqsdk_400

#endif
