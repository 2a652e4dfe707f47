#include "scene/kzeqobject.h"

#include <algorithm>
#include <cstring>

#include "base/knameindex.h"
#include "base/kstepcount.h"
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
    for (int i = 0; mMade && i < BuiltInCount(); ++i)
        if (mMade[i]) mManager->EndPropertyWrapper(mMade[i]);
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
    for (int i = 0; i < GetPropertyCount(); ++i)
        if (PeekFlag(i, flags)) ++count;
    return count;
}

KZeqUserProperty* KZeqObject::GetProperty(int index) const {
    const int builtIns = BuiltInCount();
    if (index >= 0 && index < builtIns) return MadeBuiltIn(index);
    return mProperties.GetAt(index - builtIns);
}

KProperty* KZeqObject::PeekProperty(int index) const {
    const int builtIns = BuiltInCount();
    if (index >= 0 && index < builtIns) return mMade && mMade[index] ? mMade[index]->GetKProperty() : BuiltInProperty(index);
    KZeqUserProperty* property = mProperties.GetAt(index - builtIns);
    return property ? property->GetKProperty() : nullptr;
}

bool KZeqObject::PeekFlag(int index, KZeqUserProperty::EFlags flags) const {
    const int builtIns = BuiltInCount();
    if (index >= 0 && index < builtIns) {
        if (mMade && mMade[index]) return mMade[index]->GetFlag(flags);
        return KZeqUserProperty::GetFlagOf(BuiltInProperty(index), flags);
    }
    KZeqUserProperty* property = mProperties.GetAt(index - builtIns);
    return property && property->GetFlag(flags);
}

KZeqUserProperty* KZeqObject::GetProperty(KProperty* property) const {
    if (!property) return nullptr;
    if (mRows) {
        // The built-in entries come first; one standing for the property answers.
        const int row = mRows->mRowOf(*mRowHandler, property);
        if (row >= 0 && row < BuiltInCount()) {
            KZeqUserProperty* made = mMade ? mMade[row] : nullptr;
            if (!made ? BuiltInProperty(row) == property : *made == property) return MadeBuiltIn(row);
        }
    }
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (*mProperties[i] == property) return mProperties[i];
    return nullptr;
}

bool KZeqObject::WrapsBuiltIn(KProperty* property) const {
    if (!property || !mRows) return false;
    const int row = mRows->mRowOf(*mRowHandler, property);
    if (row < 0 || row >= BuiltInCount()) return false;
    KZeqUserProperty* made = mMade ? mMade[row] : nullptr;
    return made ? *made == property : BuiltInProperty(row) == property;
}

bool KZeqObject::WrapsProperty(KProperty* property) const {
    if (!property) return false;
    if (WrapsBuiltIn(property)) return true;
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (*mProperties[i] == property) return true;
    return false;
}

KZeqUserProperty* KZeqObject::FindPropertyByName(const char* name) const {
    if (!name) return nullptr;
    for (int i = 0; i < BuiltInCount(); ++i) {
        if (mMade && mMade[i]) {
            if (mMade[i]->HasName(name)) return mMade[i];
            continue;
        }
        // An entry whose property has ended answers to the empty name, as its wrapper would.
        const KProperty* property = BuiltInProperty(i);
        const char* own = property ? property->GetPropertyName() : "";
        if (*own == *name && std::strcmp(own, name) == 0) return MadeBuiltIn(i);
    }
    for (int i = 0; i < mProperties.GetCount(); ++i)
        if (mProperties[i]->HasName(name)) return mProperties[i];
    return nullptr;
}

int KZeqObject::FindUnmadeBuiltIn(const char* name) const {
    if (!name) return -1;
    for (int i = 0; i < BuiltInCount(); ++i) {
        if (mMade && mMade[i]) {
            if (mMade[i]->HasName(name)) return -1;  // the made wrapper comes first
            continue;
        }
        const KProperty* property = BuiltInProperty(i);
        const char* own = property ? property->GetPropertyName() : "";
        if (*own == *name && std::strcmp(own, name) == 0) return i;
    }
    return -1;
}

bool KZeqObject::Lists(const KZeqUserProperty* property) const {
    const int count = mProperties.GetCount();
    if (count < KNameIndex::kMinCount) {
        KCountSteps(KStepKind::eSearch, static_cast<std::uint64_t>(count));
        return mProperties.Find(const_cast<KZeqUserProperty*>(property)) >= 0;
    }
    if (!mListed) {
        mListed = std::make_unique<std::unordered_set<const KZeqUserProperty*>>();
        for (int i = 0; i < count; ++i) mListed->insert(mProperties[i]);
        KCountSteps(KStepKind::eSearch, static_cast<std::uint64_t>(count));
    }
    KCountSteps(KStepKind::eSearch, 1);
    return mListed->count(property) != 0;
}

void KZeqObject::AddProperty(KZeqUserProperty* property) {
    if (!property || MadeIndexOf(property) >= 0 || Lists(property)) return;
    mProperties.Add(property);
    if (mListed) mListed->insert(property);
    PropertyAdded(property);
}

void KZeqObject::RemoveProperty(KZeqUserProperty* property) {
    if (property && MadeIndexOf(property) >= 0) UnfoldBuiltIns();
    int index = property ? mProperties.Find(property) : -1;
    if (index < 0) return;
    mProperties.RemoveAt(index);
    if (mListed) mListed->erase(property);
    PropertyRemoved(property);
}

bool KZeqObject::PublishBuiltIns(KZeqPropertyHandler& handler, const BuiltInRows& rows) {
    if (GetPropertyCount() != 0 || rows.mCount <= 0 ||
        static_cast<std::uint64_t>(rows.mCount) > KZeqSdkManager::kOrderRun)
        return false;
    mRows = &rows;
    mRowHandler = &handler;
    mRowOrder = mManager->TakeCreationOrder();
    return true;
}

KZeqUserProperty* KZeqObject::MadeBuiltIn(int index) const {
    if (!mMade) {
        mMade.reset(new KZeqUserProperty*[static_cast<std::size_t>(BuiltInCount())]);
        std::fill_n(mMade.get(), BuiltInCount(), nullptr);
    }
    KZeqUserProperty*& made = mMade[index];
    if (!made)
        made = mManager->MakeBuiltInWrapper(BuiltInProperty(index), mRowHandler,
                                            mRowOrder + static_cast<std::uint64_t>(index));
    return made;
}

int KZeqObject::MadeIndexOf(const KZeqUserProperty* property) const {
    for (int i = 0; mMade && property && i < BuiltInCount(); ++i)
        if (mMade[i] == property) return i;
    return -1;
}

void KZeqObject::UnfoldBuiltIns() {
    const int builtIns = BuiltInCount();
    if (builtIns == 0) return;
    KArrayTemplate<KZeqUserProperty*> all;
    for (int i = 0; i < builtIns; ++i) all.Add(MadeBuiltIn(i));
    for (int i = 0; i < mProperties.GetCount(); ++i) all.Add(mProperties[i]);
    mProperties = all;
    mListed.reset();
    mRows = nullptr;
    mRowHandler = nullptr;
    mMade.reset();
}

}  // namespace zeqsdk_400
