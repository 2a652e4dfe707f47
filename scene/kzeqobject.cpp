#include "scene/kzeqobject.h"

#include <cstring>

#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Prefix of each namespace code; codes 0 and 10 have none.
constexpr const char* kNameSpacePrefixes[] = {
    "",              // 0
    "Model::",       // 1
    "Texture::",     // 2
    "Material::",    // 3
    "Video::",       // 4
    "Video::",       // 5
    "Constraint::",  // 6
    "MarkerSet::",   // 7
    "Constraint::",  // 8
    "Pose::",        // 9
    "",              // 10
    "Pose::",        // 11
    "ControlSetPlug::",  // 12
};
constexpr int kNameSpaceCount = static_cast<int>(sizeof(kNameSpacePrefixes) / sizeof(kNameSpacePrefixes[0]));

}  // namespace

KZeqObject::KZeqObject(KZeqSdkManager& manager, const char* name) : mName(name), mManager(&manager) {}

KZeqObject::~KZeqObject() {
    // The wrappers of this object's own properties mean nothing without it.
    for (int i = 0; i < mProperties.GetCount(); ++i) mManager->EndPropertyWrapper(mProperties[i]);
}

void KZeqObject::FillPropertyList(void*) {}
void KZeqObject::PropertyAdded(KZeqUserProperty*) {}
void KZeqObject::PropertyRemoved(KZeqUserProperty*) {}

KString KZeqObject::GetDefaultNameSpacePrefix(ENameSpace nameSpace) {
    const int code = static_cast<int>(nameSpace);
    return KString(code > 0 && code < kNameSpaceCount ? kNameSpacePrefixes[code] : "");
}

void KZeqObject::SetName(const char* name) {
    KString prefix = GetNameSpacePrefix();
    mName.SetCurrentName(KZeqSdkManager::PrefixName(prefix.Buffer(), name));
}

KString KZeqObject::GetNameWithoutNameSpacePrefix() const {
    KString name(GetName());
    KString prefix = GetNameSpacePrefix();
    if (std::strncmp(name.Buffer(), prefix.Buffer(), prefix.GetLen()) == 0)
        return name.Mid(static_cast<unsigned>(prefix.GetLen()));
    int separator = name.Find("::");
    if (separator >= 0) return name.Mid(static_cast<unsigned>(separator) + 2);
    return name;
}

KString KZeqObject::RemovePrefix(const char* name) {
    KString text(name ? name : "");
    int colon = text.ReverseFind(':');
    return colon < 0 ? text : text.Mid(static_cast<unsigned>(colon) + 1);
}

KZeqObject& KZeqObject::operator=(KZeqObject& other) {
    if (this != &other && GetNameSpace() == other.GetNameSpace()) mName = other.mName;
    return *this;
}

int KZeqObject::GetPropertyCount(KZeqUserProperty::EFlags flags) const {
    int count = 0;
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (mProperties[i]->GetFlag(flags)) ++count;
    return count;
}

KZeqUserProperty* KZeqObject::GetProperty(KProperty* property) const {
    if (!property) return nullptr;
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (*mProperties[i] == property) return mProperties[i];
    return nullptr;
}

KZeqUserProperty* KZeqObject::FindPropertyByName(const char* name) const {
    if (!name) return nullptr;
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (mProperties[i]->GetName() == name) return mProperties[i];
    return nullptr;
}

void KZeqObject::AddProperty(KZeqUserProperty* property) {
    if (!property || mProperties.Find(property) >= 0) return;
    mProperties.Add(property);
    PropertyAdded(property);
}

void KZeqObject::RemoveProperty(KZeqUserProperty* property) {
    int index = property ? mProperties.Find(property) : -1;
    if (index < 0) return;
    mProperties.RemoveAt(index);
    PropertyRemoved(property);
}

}  // namespace zeqsdk_400
