#include "object/kobject.h"

#include <cstring>
#include <string>

#include "base/knameindex.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KObject, KPlug, "KObject")

int KObject::ClassGroupId = 0;
const char* KObject::ClassGroupName = "KObject";

namespace {

// Most objects list a few dozen properties: start with room for some.
constexpr std::size_t kInitialPropertyRoom = 16;

// Properties ended one after another lie apart in memory, each a few cache
// lines long: each is asked for this many properties ahead, so that the memory
// waits overlap.
constexpr std::size_t kPropertiesAhead = 8;

void PrefetchProperty(const KProperty* property) {
    const auto* at = reinterpret_cast<const char*>(property);
    for (std::size_t line = 0; line < sizeof(KProperty); line += 64) __builtin_prefetch(at + line, 1);
}

}  // namespace

KObject::KObject() = default;

KObject::~KObject() {
    std::vector<KProperty*> rest;
    rest.swap(mProperties);
    mNameIndex.reset();
    for (auto it = rest.rbegin(); it != rest.rend(); ++it) {
        KProperty* property = *it;
        property->SetOwnerInternal(nullptr);
        property->SetStatusBits(eStatusListed, false);
        if (property->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic)) delete property;
    }
}

IKObject* KObject::IQuery(unsigned long interfaceId, int reserved) {
    if (interfaceId == static_cast<unsigned long>(KObject::ClassId)) return this;
    return KPlug::IQuery(interfaceId, reserved);
}

void KObject::Destruct() {
    if (IsBeingDestroyed()) return;
    SetStatusBits(eStatusDestroying, true);
    // Notices run only where there are connections; only then can this object
    // end during the loop, and only then is a handle to it needed.
    HdlKPlug self;
    if (HasConnections()) {
        self = GetHandle();
        DisconnectAll();
        if (self.Get() != this) return;
    }
    for (std::size_t i = 1; i <= kPropertiesAhead && i <= mProperties.size(); ++i)
        PrefetchProperty(mProperties[mProperties.size() - i]);
    while (!mProperties.empty()) {
        const std::size_t count = mProperties.size();
        if (count > kPropertiesAhead) PrefetchProperty(mProperties[count - 1 - kPropertiesAhead]);
        // Its handle entry, given back when the property is destroyed, once the property itself is at hand.
        if (count > kPropertiesAhead / 2) {
            const KProperty* soon = mProperties[count - 1 - kPropertiesAhead / 2];
            if (soon->mHandleId != 0) handle_detail::Prefetch(soon->mHandleSlot);
        }
        KProperty* property = mProperties.back();
        mProperties.pop_back();
        if (mNameIndex) mNameIndex->Drop();
        property->SetStatusBits(eStatusListed, false);
        const bool notices = property->HasConnections();
        if (notices && self.GetId() == 0) self = GetHandle();
        if (property->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic)) {
            property->Destroy(0);  // still owned: its disconnection notices reach us
        } else {
            const HdlKPlug held = notices ? property->GetHandle() : HdlKPlug();
            if (notices) property->DisconnectAll();
            // Released: a property that outlives this object must not point back at it.
            if (!notices || held.Get() == property) property->SetOwnerInternal(nullptr);
        }
        if (notices && self.Get() != this) return;
    }
}

bool KObject::PlugNotify(KPlugCallstack*, kPlugAction, KPlug*, int, KPlug*, kConnectionType, KPlug*) { return true; }

KProperty* KObject::GetProperty(int index) const {
    if (index < 0 || index >= GetPropertyCount()) return nullptr;
    return mProperties[static_cast<std::size_t>(index)];
}

void KObject::PropertyAddToList(KProperty* property) {
    if (!property || (property->GetStatus() & eStatusListed) || IsBeingDestroyed()) return;
    if (property->GetOwner() && property->GetOwner() != this) return;
    const int index = GetPropertyCount();
    if (AreNoticesUnheard()) {
        property->SetOwnerInternal(this);
        property->SetStatusBits(eStatusListed, true);
        if (property->GetSrcCount() > 0) mPropertySources = true;
        PropertyAppend(property);
        return;
    }
    KPlugScope scope(this);
    if (!NotifyInScope(scope, kPlugPropertyAdding, index, property)) return;
    if (IsBeingDestroyed() || (property->GetStatus() & eStatusListed)) return;
    property->SetOwnerInternal(this);
    property->SetStatusBits(eStatusListed, true);
    if (property->GetSrcCount() > 0) mPropertySources = true;
    PropertyAppend(property);
    NotifyInScope(scope, kPlugPropertyAdded, index, property);
}

void KObject::PropertyAppend(KProperty* property) {
    if (mProperties.capacity() == 0) mProperties.reserve(kInitialPropertyRoom);
    const int count = GetPropertyCount();
    mProperties.push_back(property);
    if (mNameIndex && mNameIndex->GetCount() == count)
        mNameIndex->Append(property->GetPropertyName(), !property->GetPropertyInfo().HasName());
}

const KNameIndex& KObject::NameIndex() const {
    // A property listed before it was named may be named without a rename: it is kept apart.
    return KNameIndex::Current(mNameIndex, KNameIndex::eExact, KPropertyInfo::GetNameEpoch(), GetPropertyCount(),
                               [this](int i) {
                                   const KProperty* property = mProperties[static_cast<std::size_t>(i)];
                                   return std::make_pair(property->GetPropertyName(),
                                                         !property->GetPropertyInfo().HasName());
                               });
}

KProperty* KObject::FindPropertyByName(const char* name) const {
    if (!name) return nullptr;
    const int found = KFindNamed(
        GetPropertyCount(), name, [this]() -> const KNameIndex& { return NameIndex(); }, [&](int i) {
            // Names mostly differ in their first letter: test it before calling strcmp.
            const char* own = mProperties[static_cast<std::size_t>(i)]->GetPropertyName();
            return *own == *name && std::strcmp(own, name) == 0;
        });
    return found < 0 ? nullptr : mProperties[static_cast<std::size_t>(found)];
}

KProperty* KObject::CreatePropertyFromType(const char* name, kPropertyType type, KDataType* dataType,
                                           bool animatable, bool user, KProperty* reference) {
    if (!name || IsBeingDestroyed()) return nullptr;
    KProperty* property = KProperty::CreateOfType(type);
    if (!property) return nullptr;

    if (!FindPropertyByName(name)) {
        property->GetPropertyInfo().SetNameCopy(name);
    } else {
        std::string candidate;
        for (unsigned long counter = 1;; ++counter) {
            candidate = name;
            candidate += std::to_string(counter);
            if (!FindPropertyByName(candidate.c_str())) break;
        }
        property->GetPropertyInfo().SetNameCopy(candidate.c_str());
    }
    KPropertyInfo& info = property->GetPropertyInfo();
    info.ModifyFlag(KPropertyInfo::kFlagDynamic, true);
    if (animatable) info.ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    if (user) info.ModifyFlag(KPropertyInfo::kFlagUser, true);
    property->SetPropertyType(type);
    property->SetPropertyDataType(dataType);

    if (reference && reference != property && reference->GetValueType() == property->GetValueType()) {
        alignas(double) unsigned char value[64];
        if (reference->GetData(value)) property->SetData(value);
    }
    PropertyAddToList(property);
    if (property->GetOwner() != this) {  // refused while being listed
        delete property;
        return nullptr;
    }
    return property;
}

bool KObject::PropertyDestroy(KProperty* property) {
    if (!property || property->GetOwner() != this || !(property->GetStatus() & eStatusListed)) return false;
    int index = -1;
    for (int i = GetPropertyCount() - 1; i >= 0; --i) {
        if (mProperties[static_cast<std::size_t>(i)] == property) {
            index = i;
            break;
        }
    }
    if (index < 0) return false;
    const HdlKPlug handle = property->GetHandle();
    Notify(kPlugPropertyRemoving, index, property);
    if (handle.Get() != property) return true;  // gone during the notice
    PropertyForget(property);
    Notify(kPlugPropertyRemoved, index, property);
    if (handle.Get() != property) return true;
    if (property->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic)) {
        property->Destroy(0);
    } else {
        property->DisconnectAll();
        if (handle.Get() == property) property->SetOwnerInternal(nullptr);
    }
    return true;
}

void KObject::PropertyForget(KProperty* property) {
    if (!(property->GetStatus() & eStatusListed)) return;
    property->SetStatusBits(eStatusListed, false);
    // Members end in reverse declaration order: search from the back.
    for (std::size_t i = mProperties.size(); i-- > 0;) {
        if (mProperties[i] == property) {
            mProperties.erase(mProperties.begin() + static_cast<std::ptrdiff_t>(i));
            if (mNameIndex) mNameIndex->Drop();
            return;
        }
    }
}

void KObject::ObjectTransactionBegin() {
    if (KObject* entity = mEntity.Get()) entity->EntityTransaction(this, true);
}

void KObject::ObjectTransactionEnd() {
    if (KObject* entity = mEntity.Get()) entity->EntityTransaction(this, false);
}

void KObject::EntityTransaction(KObject*, bool) {}

}  // namespace zeqsdk_400
