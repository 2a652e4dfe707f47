#ifndef ZEQ_SCENE_KZEQUSERPROPERTY_H
#define ZEQ_SCENE_KZEQUSERPROPERTY_H

#include <cstdint>
#include <memory>

#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "object/kobject.h"

namespace zeqsdk_400 {

class KProperty;
class KZeqPropertyHandler;
class KZeqSdkManager;

// A named, typed value that a user or a file attaches to an SDK object.
// Stand-alone it only records what the property is to be; bound, it wraps a
// KProperty made by the object's property handler and answers from it. The
// wrapped property and the handler are held by handle: once they are gone the
// user property answers as if unbound.
class KZeqUserProperty {
public:
    enum EUserPropertyType : int { eUNIDENTIFIED = 0, eBOOL = 1, eREAL = 2, eCOLOR = 3, eINTEGER = 4, eVECTOR = 5 };
    // Each stands for a property-information flag once bound: 2, 64, 128.
    enum EFlags : int { eNO_FLAG = 0, eANIMATABLE = 1, eUSER = 2, eTEMPORARY = 4 };

    // Stand-alone; the type from its name ("Real", ...; anything else 0).
    KZeqUserProperty(KZeqSdkManager& manager, const char* name, const char* typeName, const char* label);
    KZeqUserProperty(KZeqSdkManager& manager, const char* name, EUserPropertyType type, const char* label,
                     EFlags flags);
    // Bound to property for its whole life; no record.
    KZeqUserProperty(KZeqSdkManager& manager, KProperty* property);
    KZeqUserProperty(const KZeqUserProperty&) = delete;
    ~KZeqUserProperty();
    // User properties are not copied.
    KZeqUserProperty& operator=(KZeqUserProperty&) { return *this; }

    // Null outside 0..5.
    static const char* GetPropertyTypeName(EUserPropertyType type);

    KString GetName() const;
    // GetName() == name, without making a string.
    bool HasName(const char* name) const;
    // With the flag, the name stands in for an empty label.
    KString GetLabel(bool nameAsFallback = false) const;
    void SetLabel(KString label);
    EUserPropertyType GetPropertyType() const;
    double GetMinLimit() const;
    double GetMaxLimit() const;
    void SetMinLimit(double min);
    void SetMaxLimit(double max);
    void SetLimits(double min, double max);
    // Stand-alone: any bit in common; bound: exactly one of 1, 2, 4 whose
    // property-information bit is set.
    bool GetFlag(EFlags flags) const;
    void ModifyFlag(EFlags flags, bool on);
    // True when property is the wrapped one.
    bool operator==(KProperty* property) const;
    // What GetFlag answers for a user property bound to property (null: bound to nothing).
    static bool GetFlagOf(const KProperty* property, EFlags flags);

    KProperty* GetKProperty() const;
    KZeqPropertyHandler* GetPropertyHandler() const;
    void SetPropertyHandler(KZeqPropertyHandler* handler);

    // Defaults exist only while bound; every successful set is reported to the
    // handler. Colours clamp to [0, 1] and get alpha 1.
    void SetDefaultValue(bool value);
    void SetDefaultValue(int value);
    void SetDefaultValue(double value);
    void SetDefaultValue(KZeqColor& value);
    void SetDefaultValue(double x, double y, double z);
    void GetDefaultValue(bool& value) const;
    void GetDefaultValue(int& value) const;
    void GetDefaultValue(double& value) const;
    void GetDefaultValue(KZeqColor& value) const;
    void GetDefaultValue(double& x, double& y, double& z) const;

private:
    friend class KZeqPropertyHandler;
    friend class KZeqSdkManager;
    struct Record {
        KString mName;
        EUserPropertyType mType;
        KString mLabel;
        double mMin;
        double mMax;
        int mFlags;
    };
    void SetKProperty(KProperty* property) { mProperty = property; }
    void DefaultChanged();

    HdlKPlug mProperty;
    HdlKObject mHandler;
    std::unique_ptr<Record> mRecord;
    KZeqSdkManager* mManager;
    int mListSlot = -1;  // the manager's list keeps it
    // Its place in the manager's creation order (a node's built-in wrappers
    // take the places the node reserved for them when it was made).
    std::uint64_t mOrder = 0;
};

// 0 for null and for names other than "Bool", "Real", "Color", "Integer", "Vector".
KZeqUserProperty::EUserPropertyType GetPropertyTypeFromName(const char* typeName);

}  // namespace zeqsdk_400

#endif
