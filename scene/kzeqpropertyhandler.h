#ifndef ZEQ_SCENE_KZEQPROPERTYHANDLER_H
#define ZEQ_SCENE_KZEQPROPERTYHANDLER_H

#include "object/kobject.h"

namespace zeqsdk_400 {

class KZeqObject;
class KZeqUserProperty;

// Base of the per-class property objects of SDK objects; it makes and ends the
// KProperty behind a user property.
class KZeqPropertyHandler : public KObject {
    KZEQ_CLASS_DECLARE(KZeqPropertyHandler)

public:
    // Creates with animatable off, then marks the new property animatable
    // (information flag 2) when asked.
    KProperty* CreatePropertyFromType(const char* name, kPropertyType type, KDataType* dataType, bool animatable,
                                      bool user, KProperty* reference) override;

    // Told whenever a user property's default value was set.
    virtual void DefaultValueChanged(KZeqUserProperty* property) = 0;
    // The SDK object this handler serves.
    virtual KZeqObject* GetKZeqObject() = 0;

    // Binds a stand-alone user property to a new property of this object made
    // from its record (name, type, label, flags; not the limits). False when
    // it is null or already bound, or its type has no data type.
    bool CreateKProperty(KZeqUserProperty* property);
    // Destroys the property the user property wraps, which then wraps
    // nothing. False when there is none or it is not one of this object's.
    bool DestroyKProperty(KZeqUserProperty* property);
};

}  // namespace zeqsdk_400

#endif
