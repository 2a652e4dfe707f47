#ifndef ZEQ_OBJECT_IZEQOBJECT_H
#define ZEQ_OBJECT_IZEQOBJECT_H

#include "base/karray.h"
#include "fileio/kzeq.h"
#include "object/ikobject.h"

namespace zeqsdk_400 {

class KObject;
class KProperty;

// Object-persistence stream: a field file (it is the KZeq it reads and writes)
// with the before-version-6 flag, a table of objects registered by name for
// reference lookups, and the property-list record.
//
// Property-list record: a field "Properties60" (read also under the older name
// "Properties") whose block holds one field "Property" per property with the
// values: name, type name (the property's data type, else the data type of
// its value type), flags (letters: A animatable, K animated, U user, T
// temporary), then the value's members (an int for a bool, an int or an
// enumeration, a double for each other member; none for an object list).
// Properties flagged kPropertyFlagNotSavable are neither written nor read.
class IZeqObject : public KZeq {
public:
    // Deleting an IZeqObject deletes the whole stream.
    virtual ~IZeqObject();

    virtual bool IsBeforeVersion6() const = 0;
    virtual void SetIsBeforeVersion6(bool before) = 0;

    // The object registered under the name (exact), null when none or when the
    // object (a plug) has been destroyed since.
    virtual IKObject* ObjectFetch(const char* name) = 0;
    // Registers an object under a name; false for a null name or object or a
    // name already taken (the first registration stays).
    virtual bool ObjectRegister(const char* name, IKObject* object) = 0;
    virtual bool ObjectNameUnregister(const char* name) = 0;
    // A nested read works with an empty name table of its own: Push starts one,
    // Pop drops it and brings the previous one back (nothing without a Push).
    virtual void ObjectNameSetPush() = 0;
    virtual bool ObjectNameSetPop() = 0;
    virtual int ObjectNameGetCount() const = 0;

    // Reads the property-list record of the current block into the listed
    // properties, matched by exact name (through their SetData, so owners'
    // setters run), and creates a user property on the owner (when given) for
    // each name neither the list nor the owner has. A record that cannot be
    // read whole leaves its property untouched. False when the block has no
    // property-list record.
    virtual bool FieldReadPropertiesList(KArrayTemplate<KProperty*>& properties, KObject* owner) = 0;
    // Writes the property-list record of the listed properties into the
    // current block; false when the field file refused to write.
    virtual bool FieldWritePropertiesList(KArrayTemplate<KProperty*>& properties) = 0;

    KZeq& GetZeq() { return *this; }

protected:
    IZeqObject() = default;
};

// A new stream with no file open; delete it when done.
IZeqObject* KZeqObjectCreate();

// Codes of object-persistence events.
enum EZeqObjectEvent { eZeqObjectEventWrongPassword = 16 };

// Sends an object-persistence event (sender: the stream) through the global
// event manager, when one is installed.
void KZeqObject_GenerateEvent(IZeqObject* stream, int code);

}  // namespace zeqsdk_400

#endif
