#ifndef ZEQ_OBJECT_KOBJECT_H
#define ZEQ_OBJECT_KOBJECT_H

#include <memory>
#include <vector>

#include "object/kplug.h"
#include "object/kproperty.h"

namespace zeqsdk_400 {

class KNameIndex;
class KObject;

// Handle to an object: reads null once the object is gone.
class HdlKObject {
public:
    HdlKObject() = default;
    HdlKObject(KObject* object) { Set(object); }
    HdlKObject& operator=(KObject* object) {
        Set(object);
        return *this;
    }
    inline void Set(KObject* object);
    void Clear() { mHandle.Clear(); }
    inline KObject* Get() const;
    KObject* operator->() const { return Get(); }
    operator KObject*() const { return Get(); }
    bool IsValid() const { return mHandle.IsValid(); }
    bool operator==(const HdlKObject& other) const { return mHandle == other.mHandle; }
    bool operator!=(const HdlKObject& other) const { return mHandle != other.mHandle; }

private:
    HdlKPlug mHandle;
};

// Object of the object model: a plug with an ordered list of properties.
//
// Destroy (inherited from KPlug) runs Destruct and deletes the object, or, while
// a notice is running on it, defers that until the notice is over. A derived
// class that overrides Destroy should end by calling KObject::Destroy so that
// it keeps that protection.
class KObject : public KPlug {
    KZEQ_CLASS_DECLARE(KObject)

public:
    // Group of every object class that has none of its own.
    static int ClassGroupId;
    static const char* ClassGroupName;

    KObject();
    // Member properties leave the list in their own destructors; heap
    // properties still listed (dynamic ones) are deleted here.
    ~KObject() override;

    // The object for kIKObjectInterfaceId, KPlug::ClassId and KObject::ClassId.
    IKObject* IQuery(unsigned long interfaceId, int reserved) override;
    // Marks the object as being destroyed (status 8), disconnects it, then
    // empties the property list from the last property to the first: dynamic
    // properties are destroyed, the others disconnected and released (no
    // owner). Running it twice does no harm.
    void Destruct() override;

    virtual int GetClassGroupId() const { return ClassGroupId; }
    virtual const char* GetClassGroupName() const { return ClassGroupName; }

    // Default handling of a notice on the object or one of its properties:
    // accepts everything.
    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;

    // The property list, in the order of PropertyAddToList calls.
    int GetPropertyCount() const { return static_cast<int>(mProperties.size()); }
    KProperty* GetProperty(int index) const;
    // Appends a property (which becomes owned by this object), between the
    // notices kPlugPropertyAdding and kPlugPropertyAdded. A property already
    // listed, or owned by another object, is left alone.
    virtual void PropertyAddToList(KProperty* property);
    // The first property of that exact name, null when none. Many properties are found through an
    // index of their names, made on first need.
    KProperty* FindPropertyByName(const char* name) const;
    // False while none of its properties has had a source since it owned it:
    // a search of every property for sources can then be skipped. Stays true
    // once set (true does not mean a property has a source now).
    bool MayHavePropertySources() const { return mPropertySources; }
    // Creates a dynamic property (information flag 1) holding a value of the
    // type code, named after name (a counter appended while the name is taken:
    // Name, Name1, Name2, ...), with the data type, animatable (flag 2) and
    // user (flag 64) as asked, the value of the reference property when it has
    // the same value type, and appends it to the list. Null for a null name or
    // a type code that holds no value.
    virtual KProperty* CreatePropertyFromType(const char* name, kPropertyType type, KDataType* dataType,
                                              bool animatable, bool user, KProperty* reference);
    // Takes a listed property out of the list (with notices) and destroys it
    // when dynamic, else disconnects and releases it. False when it is not in
    // this list.
    bool PropertyDestroy(KProperty* property);

    // The entity the object belongs to (null when none).
    virtual void EntitySet(KObject* entity) { mEntity = entity; }
    KObject* EntityGet() const { return mEntity.Get(); }
    virtual int GetPrefixClassId() const { return -1; }
    // Tell the entity that a transaction on this object begins or ends.
    virtual void ObjectTransactionBegin();
    virtual void ObjectTransactionEnd();
    // An entity hears of its objects' transactions here; nothing by default.
    virtual void EntityTransaction(KObject* object, bool begin);
    // No copy by default.
    virtual KObject* ObjectClone() { return nullptr; }

protected:
    // Room for count properties in the list, for an object that knows how many
    // it lists (fewer allocations while they are added).
    void PropertyReserve(int count) {
        if (count > 0) mProperties.reserve(static_cast<std::size_t>(count));
    }

private:
    friend class KProperty;
    friend class KPlug;
    // Drops a property from the list without notices (the property is ending).
    void PropertyForget(KProperty* property);
    // Appends to the list (and to the name index when it is current).
    void PropertyAppend(KProperty* property);
    // The index of the properties' names, made or remade when it is not current.
    const KNameIndex& NameIndex() const;

    std::vector<KProperty*> mProperties;
    mutable std::unique_ptr<KNameIndex> mNameIndex;
    HdlKObject mEntity;
    bool mPropertySources = false;
};

inline void HdlKObject::Set(KObject* object) { mHandle.Set(object); }
inline KObject* HdlKObject::Get() const { return static_cast<KObject*>(mHandle.Get()); }

}  // namespace zeqsdk_400

#endif
