#ifndef ZEQ_OBJECT_KPROPERTY_H
#define ZEQ_OBJECT_KPROPERTY_H

#include <cstdint>
#include <memory>

#include "base/kstepcount.h"
#include "object/kdatatype.h"
#include "object/kplug.h"
#include "object/kpropertytype.h"

namespace zeqsdk_400 {

class KEvaluateInfo;
class KNameEpoch;
class KWorldState;
class KObject;

// Bits of a property's own flag word.
enum kPropertyFlag : unsigned {
    kPropertyFlagNone = 0,
    kPropertyFlagReserved = 1,     // set by some callers; no meaning in the object model
    kPropertyFlagDisabled = 4,
    kPropertyFlagAnimated = 8,     // read by IsAnimated
    kPropertyFlagNotSavable = 16,  // skipped when property lists are written and read
    kPropertyFlagReadOnly = 32
};

// Member-function types of the owner accessors, as the property records them.
typedef void (KPlug::*kPropertyAccessor)();
typedef char* (KPlug::*kPropertyAsStringFunc)(int);

// Converts between member-function pointer types. Only used to record a
// member function under the common accessor type and to turn it back into its
// exact type before the call, a round trip the language guarantees.
template <class To, class From>
To KPropertyMemberCast(From from) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
    return reinterpret_cast<To>(from);
#pragma GCC diagnostic pop
}

// An owner's typed getter or setter as the accessor type the property records.
// The owner class must derive from KPlug; the property casts it back to the
// exact typed form (T (KPlug::*)() / void (KPlug::*)(T)) before calling it, so
// the getter's T must be the value type of the property it is given to.
template <class Owner, class T>
kPropertyAccessor KPropertyGetter(T (Owner::*get)()) {
    return KPropertyMemberCast<kPropertyAccessor>(static_cast<T (KPlug::*)()>(get));
}
template <class Owner, class T>
kPropertyAccessor KPropertySetter(void (Owner::*set)(T)) {
    return KPropertyMemberCast<kPropertyAccessor>(static_cast<void (KPlug::*)(T)>(set));
}

// A property's description: flags first, then name, type, range and the
// owner's accessors.
class KPropertyInfo {
public:
    enum kFlags : unsigned {
        kFlagDynamic = 1,
        kFlagAnimatable = 2,
        kFlagList = 4,
        kFlagObjectList = 8,
        kFlagUser = 64,
        kFlagTemporary = 128,
        kFlagNoAutoRename = 256,
        kFlagHasStringFunc = 512
    };

    KPropertyInfo();
    ~KPropertyInfo();
    KPropertyInfo(const KPropertyInfo&) = delete;
    KPropertyInfo& operator=(const KPropertyInfo&) = delete;

    // The flag word; read directly by callers.
    std::uint32_t mFlags;

    void ModifyFlag(kFlags flags, bool on) { mFlags = on ? (mFlags | flags) : (mFlags & ~static_cast<std::uint32_t>(flags)); }
    bool GetFlag(kFlags flags) const { return (mFlags & flags) != 0; }

    // The owner's text of an enumeration value; sets flag 512 when not null and
    // clears it when null.
    void SetAsStringFunc(kPropertyAsStringFunc func);
    // The same for a typed member function (E an enumeration or int, the text
    // char* or const char*).
    template <class Owner, class R, class E>
    void SetAsStringFunc(R (Owner::*func)(E)) {
        typedef R (KPlug::*Exact)(E);
        SetAsStringFuncWith(KPropertyMemberCast<kPropertyAsStringFunc>(static_cast<Exact>(func)), &InvokeAsString<R, E>);
    }
    bool HasAsStringFunc() const { return GetFlag(kFlagHasStringFunc); }

    // Each read counts as a search step: a search by name compares the names it reads, whichever
    // way it goes, so the tests that bound searches see one done in place.
    const char* GetName() const {
        KCountSteps(KStepKind::eSearch, 1);
        return mName ? mName : "";
    }
    // Keeps the pointer (a text that outlives the property, such as a literal).
    void SetNameReference(const char* name) {
        if (mName) NameChanges();
        mName = name;
    }
    // Keeps a copy.
    void SetNameCopy(const char* name);
    // Whether a name was given (the property is named "" until then).
    bool HasName() const { return mName != nullptr; }
    // Advanced by every rename of a property that had a name: the lists indexing properties by
    // name (KObject) then index them again.
    static const KNameEpoch& GetNameEpoch();

    const char* GetLabel() const;
    void SetLabel(const char* label);

    kPropertyType GetType() const { return mType; }
    void SetType(kPropertyType type) { mType = type; }
    KDataType* GetDataType() const;
    void SetDataType(KDataType* dataType);

    // Minus and plus infinity until set.
    double GetMin() const;
    double GetMax() const;
    void SetMin(double min);
    void SetMax(double max);

    kPropertyAccessor GetGetter() const { return mGet; }
    kPropertyAccessor GetSetter() const { return mSet; }
    void SetAccessors(kPropertyAccessor get, kPropertyAccessor set) {
        mGet = get;
        mSet = set;
    }

    // The owner's text for a value, null without a string function or owner.
    const char* CallAsString(KPlug* owner, int value) const;

private:
    typedef const char* (*AsStringInvoker)(KPlug* owner, kPropertyAsStringFunc func, int value);
    template <class R, class E>
    static const char* InvokeAsString(KPlug* owner, kPropertyAsStringFunc func, int value) {
        typedef R (KPlug::*Exact)(E);
        return (owner->*KPropertyMemberCast<Exact>(func))(static_cast<E>(value));
    }
    void SetAsStringFuncWith(kPropertyAsStringFunc func, AsStringInvoker invoker);
    // A named property is renamed: advances the name epoch.
    static void NameChanges();

    // Rarely used parts, allocated on demand to keep member properties small.
    struct Extra;
    Extra& GetExtra();

    kPropertyType mType;
    const char* mName;
    kPropertyAccessor mGet;
    kPropertyAccessor mSet;
    std::unique_ptr<Extra> mExtra;
};

// Named, typed, connectable value of an object. The base class holds no value:
// KPropertyTemplate<T> and KPropertyObjectList do.
class KProperty : public KPlug {
    KZEQ_CLASS_DECLARE(KProperty)

public:
    KProperty();
    // Leaves its owner's property list.
    ~KProperty() override;

    void SetPropertyType(kPropertyType type) { mInfo.SetType(type); }
    kPropertyType GetPropertyType() const { return mInfo.GetType(); }
    // Names the property (the pointer is kept, not copied), makes it an owned
    // plug of the owner (appending it to the owner's property list when it is
    // not listed yet) and records the owner's get and set member functions
    // (null: none). Make them with KPropertyGetter / KPropertySetter.
    void SetPropertyInfo(const char* name, KObject* owner, kPropertyAccessor get, kPropertyAccessor set);
    KPropertyInfo& GetPropertyInfo() { return mInfo; }
    const KPropertyInfo& GetPropertyInfo() const { return mInfo; }

    const char* GetPropertyName() const { return mInfo.GetName(); }
    const char* GetPropertyLabel() const { return mInfo.GetLabel(); }
    void SetPropertyLabel(const char* label) { mInfo.SetLabel(label); }
    // Its own data type, else the one of its type code; may be null.
    KDataType* GetPropertyDataType() const;
    void SetPropertyDataType(KDataType* dataType) { mInfo.SetDataType(dataType); }

    void ModifyPropertyFlag(kPropertyFlag flags, bool on) {
        mFlags = on ? (mFlags | flags) : (mFlags & ~static_cast<std::uint32_t>(flags));
    }
    bool GetPropertyFlag(kPropertyFlag flags) const { return (mFlags & flags) != 0; }
    std::uint32_t GetPropertyFlags() const { return mFlags; }
    void SetReadOnly(bool on) { ModifyPropertyFlag(kPropertyFlagReadOnly, on); }
    bool IsReadOnly() const { return GetPropertyFlag(kPropertyFlagReadOnly); }
    bool IsAnimated() const { return GetPropertyFlag(kPropertyFlagAnimated); }
    bool IsAnimatable() const { return mInfo.GetFlag(KPropertyInfo::kFlagAnimatable); }
    bool IsUserProperty() const { return mInfo.GetFlag(KPropertyInfo::kFlagUser); }

    double GetPropertyMin() const { return mInfo.GetMin(); }
    double GetPropertyMax() const { return mInfo.GetMax(); }
    void SetPropertyMin(double min) { mInfo.SetMin(min); }
    void SetPropertyMax(double max) { mInfo.SetMax(max); }
    void SetPropertyMinMax(double min, double max) {
        mInfo.SetMin(min);
        mInfo.SetMax(max);
    }

    // Text of an enumeration value from the owner's string function; null for
    // a user property or when there is none.
    const char* GetValueAsString(int value);

    // Value access. GetData / SetData move the property's native value (a
    // bool, an int, a double, the doubles of a vector or colour; see
    // KPropertyTypeGetInfo(GetValueType()).mSize) through the caller's buffer;
    // false when the property holds no value. SetData notifies (kPlugDataChanging,
    // kPlugDataChanged).
    virtual bool GetData(void* buffer, int reserved = 0, KEvaluateInfo* info = nullptr, KWorldState* state = nullptr);
    virtual bool SetData(const void* buffer, int reserved = 0, KEvaluateInfo* info = nullptr, KWorldState* state = nullptr);
    // The same for callers holding a writable buffer.
    bool SetData(void* buffer, int reserved = 0, KEvaluateInfo* info = nullptr, KWorldState* state = nullptr) {
        return SetData(static_cast<const void*>(buffer), reserved, info, state);
    }

    // The value as doubles, one per member of its value type (at most
    // kPropertyMaxMembers), the form curves and other callers without the
    // native type exchange. Writes at most count of them and answers the member
    // count, 0 when the property holds no value.
    int GetDataAsDoubles(double* values, int count);
    // Writes the value from one double per member, each converted to the native
    // type: int, bool and enumeration truncated toward zero, saturating, NaN as
    // 0 (a bool is true when that is not 0); float and double as they are; the
    // members of vectors and colours one by one (a vector's fourth component is
    // kept). False when the property holds no value or count is short of its
    // member count. Notifies as SetData does.
    bool SetDataFromDoubles(const double* values, int count);
    // Reads the value as doubles, replaces member index by value and writes it
    // back as SetDataFromDoubles does; false for an index outside the members.
    bool SetDataMember(int index, double value);
    // Numbers: the value converted; vectors and colours: the first member.
    virtual int AsInteger();
    virtual void SetInteger(int value);
    virtual double AsDouble();
    virtual void SetDouble(double value);
    // The type code of the value actually held (for a template: its T).
    virtual kPropertyType GetValueType() const { return kPropertyTypeNone; }

    // Makes a dynamic property holding a value of the type code, null for codes
    // that hold none (the object list is KPropertyObjectList).
    static KProperty* CreateOfType(kPropertyType type);

protected:
    // The owner as the plug the bound accessors are called on; null when none.
    KPlug* GetOwnerPlug() const;

private:
    friend class KObject;
    KPropertyInfo mInfo;
    std::uint32_t mFlags = 0;
};

}  // namespace zeqsdk_400

#endif
