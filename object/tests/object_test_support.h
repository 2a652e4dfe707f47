#ifndef ZEQ_OBJECT_TESTS_OBJECT_TEST_SUPPORT_H
#define ZEQ_OBJECT_TESTS_OBJECT_TEST_SUPPORT_H

// Helpers shared by the object layer's tests.

#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/karray.h"
#include "object/kobject.h"
#include "object/kproperty.h"
#include "object/kpropertytemplate.h"
#include "object/kpropertytype.h"

namespace zeqsdk_400 {
namespace objecttest {

// Lists a member property under a name, without accessors.
inline void AddMember(KObject& owner, KProperty& property, const char* name,
                      kPropertyType type = kPropertyTypeNone) {
    owner.PropertyAddToList(&property);
    if (type != kPropertyTypeNone) property.SetPropertyType(type);
    property.SetPropertyInfo(name, &owner, nullptr, nullptr);
}

inline std::vector<std::string> PropertyNames(const KObject& object) {
    std::vector<std::string> names;
    for (int i = 0; i < object.GetPropertyCount(); ++i) names.push_back(object.GetProperty(i)->GetPropertyName());
    return names;
}

inline KArrayTemplate<KProperty*> PropertyList(const KObject& object) {
    KArrayTemplate<KProperty*> list;
    for (int i = 0; i < object.GetPropertyCount(); ++i) list.Add(object.GetProperty(i));
    return list;
}

// A property's value as doubles, one per member; its value set from them.
inline std::vector<double> ValueOf(KProperty& property) {
    double values[kPropertyMaxMembers];
    return std::vector<double>(values, values + property.GetDataAsDoubles(values, kPropertyMaxMembers));
}
inline bool SetValue(KProperty& property, const std::vector<double>& values) {
    return property.SetDataFromDoubles(values.data(), static_cast<int>(values.size()));
}

// Each value type with a sample, and doubles with what its first member becomes of
// them: int, enumeration and bool truncated toward zero, saturating, NaN 0; a
// float saturates at its largest finite value; vector and colour members as they are.
struct ValueTypeCase {
    const char* mName;
    kPropertyType mType;
    std::vector<double> mSample;
    std::vector<std::pair<double, double>> mConversions;
};
inline void PrintTo(const ValueTypeCase& c, std::ostream* out) { *out << c.mName; }
const ValueTypeCase kValueTypes[] = {
    {"Bool", kPropertyTypeBool, {1.0}, {{0.5, 0}, {-1.5, 1}, {NAN, 0}}},
    {"Integer", kPropertyTypeInteger, {-123456.0},
     {{-2.9, -2}, {2.9, 2}, {1e300, INT_MAX}, {-HUGE_VAL, INT_MIN}, {NAN, 0}}},
    {"Float", kPropertyTypeFloat, {0.5}, {{-2.9, -2.9f}, {1e300, FLT_MAX}, {HUGE_VAL, HUGE_VALF}, {NAN, NAN}}},
    {"Double", kPropertyTypeDouble, {1.0 / 3.0}, {{-0.125, -0.125}}},
    {"Enum", kPropertyTypeEnum, {5.0}, {{2.9, 2}, {-0.5, 0}, {NAN, 0}}},
    {"Vector", kPropertyTypeVector, {1.5, -2.25, 1e-300}, {{-2.9, -2.9}}},
    {"Color", kPropertyTypeColor, {0.1, 0.2, 0.3}, {{-0.5, -0.5}}},
    {"Vector4", kPropertyTypeVector4, {-1.0, 2.0, -3.0, 4.0}, {{1e300, 1e300}}},
    {"ColorRGBA", kPropertyTypeColorRGBA, {0.4, 0.5, 0.6, 0.7}, {{2.5, 2.5}}}};

typedef std::vector<std::string> Lines;

// Records notices as "receiver:action:plug<other", a non-zero index appended
// as "#index", and a notice sent during another led by that one's action and a
// ">" per level ("4>"); plugs are named as given, else properties by their name.
struct NoticeLog {
    std::map<const KPlug*, std::string> mNames{{nullptr, "-"}};
    Lines mLines;
    std::string NameOf(const KPlug* plug) {
        auto it = mNames.find(plug);
        if (it != mNames.end()) return it->second;
        return plug->Is(KProperty::ClassId) ? static_cast<const KProperty*>(plug)->GetPropertyName() : "?";
    }
    void Add(const KPlugCallstack* cs, const KPlug* receiver, int action, const KPlug* plug, int index,
             const KPlug* other) {
        const std::string chain = cs->mPrevious ? std::to_string(cs->mPrevious->mAction) : "";
        mLines.push_back(chain + std::string(static_cast<std::size_t>(cs->mDepth), '>') + NameOf(receiver) + ":" +
                         std::to_string(action) + ":" + NameOf(plug) + "<" + NameOf(other) +
                         (index ? "#" + std::to_string(index) : ""));
    }
    Lines Take() { return std::exchange(mLines, Lines()); }
};

typedef std::function<bool(kPlugAction action, KPlug* other)> Hook;

// Logs its notices, checks that an index names the entry before a removal and the
// new one after a connection, and answers through an optional hook. A rude one
// ends at once when destroyed, ignoring any postponement: the machinery must cope.
template <class Base>
class Logged : public Base {
public:
    Logged(NoticeLog* log, const std::string& name) : mLog(log) { log->mNames[this] = name; }
    bool PlugNotify(KPlugCallstack* cs, kPlugAction action, KPlug* plug, int index, KPlug* other, kConnectionType type,
                    KPlug* replacement) override {
        mLog->Add(cs, this, action, plug, index, other);
        const bool src = action == kPlugSrcDisconnecting || action == kPlugSrcConnected;
        const bool dst = action == kPlugDstDisconnecting || action == kPlugDstConnected;
        if ((src && plug->GetSrc(index) != other) || (dst && plug->GetDst(index) != other))
            ADD_FAILURE() << "notice " << action << " names entry " << index;
        if (!Base::PlugNotify(cs, action, plug, index, other, type, replacement)) return false;
        Hook hook = mHook;  // a copy: the hook may end this object
        return !hook || hook(action, other);
    }
    void Destroy(int reserved = 0) override {
        if (!mRude) return Base::Destroy(reserved);
        this->Destruct();
        delete this;
    }
    NoticeLog* mLog;
    Hook mHook;
    bool mRude = false;
};
typedef Logged<KObject> LoggedObject;

// An object with one logged member property "p", logged as "<name>.p".
class Holder : public LoggedObject {
public:
    Holder(NoticeLog* log, const std::string& name) : LoggedObject(log, name), mProp(log, name + ".p") {
        AddMember(*this, mProp, "p");
    }
    Logged<KPropertyTemplate<double>> mProp;
};

enum ETestMode { eModeA = 0, eModeB = 1, eModeC = 2 };

// An owner with typed accessors bound to its properties: "Weight" through a
// getter and a setter that logs "set" and clamps below 0, "Mode" through a
// getter alone, with texts, and "Plain" without any.
class Owner : public LoggedObject {
public:
    explicit Owner(NoticeLog* log) : LoggedObject(log, "O") {
        mWeight.SetPropertyInfo("Weight", this, &Owner::WeightGet, &Owner::WeightSet);
        mMode.SetPropertyInfo("Mode", this, &Owner::ModeGet, nullptr);
        mMode.GetPropertyInfo().SetAsStringFunc(&Owner::ModeAsString);
        AddMember(*this, mPlain, "Plain");
        log->Take();
    }
    double WeightGet() { return mWeight.Value(); }
    void WeightSet(double value) {
        mLog->mLines.push_back("set");
        mWeight.Value() = value < 0.0 ? 0.0 : value;
    }
    ETestMode ModeGet() { return mModeSource; }
    char* ModeAsString(ETestMode mode) {
        static char texts[3][2] = {"A", "B", "C"};
        return mode >= eModeA && mode <= eModeC ? texts[mode] : nullptr;
    }

    KPropertyTemplate<double> mWeight;
    KPropertyTemplate<ETestMode> mMode;
    KPropertyTemplate<bool> mPlain;
    ETestMode mModeSource = eModeA;
};

}  // namespace objecttest
}  // namespace zeqsdk_400

#endif
