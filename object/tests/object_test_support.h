#ifndef ZEQ_OBJECT_TESTS_OBJECT_TEST_SUPPORT_H
#define ZEQ_OBJECT_TESTS_OBJECT_TEST_SUPPORT_H

// Helpers shared by the object layer's tests.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/karray.h"
#include "object/kobject.h"
#include "object/kproperty.h"
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

typedef std::vector<std::string> Lines;

// Records notices as "receiver:action:plug<other" (a non-zero index appended
// as "#index"), naming plugs as given, else properties by their own name.
struct NoticeLog {
    std::map<const KPlug*, std::string> mNames{{nullptr, "-"}};
    Lines mLines;
    std::string NameOf(const KPlug* plug) {
        auto it = mNames.find(plug);
        if (it != mNames.end()) return it->second;
        return plug->Is(KProperty::ClassId) ? static_cast<const KProperty*>(plug)->GetPropertyName() : "?";
    }
    void Add(const KPlug* receiver, int action, const KPlug* plug, int index, const KPlug* other) {
        mLines.push_back(NameOf(receiver) + ":" + std::to_string(action) + ":" + NameOf(plug) + "<" + NameOf(other) +
                         (index ? "#" + std::to_string(index) : ""));
    }
    Lines Take() {
        Lines lines;
        lines.swap(mLines);
        return lines;
    }
};

typedef std::function<bool(kPlugAction action, KPlug* other)> Hook;

// Logs its notices and answers through an optional hook. A rude one ends at
// once when destroyed, ignoring any postponement: the machinery must cope.
template <class Base>
class Logged : public Base {
public:
    Logged(NoticeLog* log, const std::string& name) : mLog(log) { log->mNames[this] = name; }
    bool PlugNotify(KPlugCallstack* cs, kPlugAction action, KPlug* plug, int index, KPlug* other, kConnectionType type,
                    KPlug* replacement) override {
        mLog->Add(this, action, plug, index, other);
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

}  // namespace objecttest
}  // namespace zeqsdk_400

#endif
