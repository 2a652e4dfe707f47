#include "scene/kzeqpropertyhandler.h"

#include "object/kdatatype.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqPropertyHandler, KObject, "KZeqPropertyHandler")

KProperty* KZeqPropertyHandler::CreatePropertyFromType(const char* name, kPropertyType type, KDataType* dataType,
                                                       bool animatable, bool user, KProperty* reference) {
    KProperty* property = KObject::CreatePropertyFromType(name, type, dataType, false, user, reference);
    if (property && animatable) property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    return property;
}

bool KZeqPropertyHandler::CreateKProperty(KZeqUserProperty* user) {
    if (!user || user->GetKProperty()) return false;
    KDataType* dataType = KDataTypeGet(KZeqUserProperty::GetPropertyTypeName(user->GetPropertyType()));
    if (!dataType) return false;
    KString name = user->GetName();
    KProperty* property =
        CreatePropertyFromType(name.Buffer(), DataTypeToPropertyType(dataType), dataType, false, false, nullptr);
    if (!property) return false;

    KPropertyInfo& info = property->GetPropertyInfo();
    if (user->GetFlag(KZeqUserProperty::eANIMATABLE)) {
        info.ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
        property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    }
    if (user->GetFlag(KZeqUserProperty::eUSER)) info.ModifyFlag(KPropertyInfo::kFlagUser, true);
    if (user->GetFlag(KZeqUserProperty::eTEMPORARY)) info.ModifyFlag(KPropertyInfo::kFlagTemporary, true);
    KString label = user->GetLabel(true);
    if (!label.IsEmpty()) property->SetPropertyLabel(label.Buffer());

    user->SetKProperty(property);
    user->SetPropertyHandler(this);
    return true;
}

bool KZeqPropertyHandler::DestroyKProperty(KZeqUserProperty* user) {
    KProperty* property = user ? user->GetKProperty() : nullptr;
    if (!property || !PropertyDestroy(property)) return false;
    user->SetKProperty(nullptr);
    return true;
}

}  // namespace zeqsdk_400
