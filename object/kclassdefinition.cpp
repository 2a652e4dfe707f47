#include "object/kclassdefinition.h"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "object/kplug.h"

namespace zeqsdk_400 {

namespace {

// Built on first use, so that registration from any static initialiser finds it, and ended only
// after every other static object of the library (RegistryEnd), so that lookups from any static
// destructor find it intact and a plug-in library its host unloads gives its memory back.
struct ClassRegistry {
    std::vector<KClassDefinition*> mById;  // index = class identifier
    std::vector<std::unique_ptr<KPlugFilter>> mFilters;
    std::unordered_map<std::string, int> mByName;
    KPlugFilter mNone{-1, nullptr};
};

ClassRegistry*& RegistryPointer() {
    static ClassRegistry* registry = nullptr;
    return registry;
}

ClassRegistry& Registry() {
    ClassRegistry*& registry = RegistryPointer();
    if (!registry) registry = new ClassRegistry;
    return *registry;
}

// Constructed before, so destroyed after, every static object of default priority.
struct RegistryEnd {
    ~RegistryEnd() {
        delete RegistryPointer();
        RegistryPointer() = nullptr;
    }
};
__attribute__((init_priority(101))) RegistryEnd gRegistryEnd;

// Identifiers start at 1 so that a class identifier not yet registered
// (zero-initialised) never names a real class.
constexpr int kFirstClassId = 1;

}  // namespace

bool KPlugFilter::IsMatching(const KPlug* plug) const {
    if (!plug) return false;
    return mClassId == -1 || plug->Is(mClassId);
}

int KPlug_RegisterClassId(KClassDefinition* definition, int classId) {
    if (!definition) return -1;
    if (definition->mFilter) return definition->mClassId ? *definition->mClassId : definition->mFilter->GetClassId();
    // Parents first, so that an ancestor always has a smaller identifier.
    if (definition->mParent && !definition->mParent->mFilter) KPlug_RegisterClassId(definition->mParent, -1);

    ClassRegistry& registry = Registry();
    int id = classId;
    if (id == -1) {
        id = static_cast<int>(registry.mById.size());
        if (id < kFirstClassId) id = kFirstClassId;
    } else if (id < kFirstClassId) {
        return -1;
    }
    if (static_cast<std::size_t>(id) < registry.mById.size() && registry.mById[static_cast<std::size_t>(id)])
        return -1;
    if (registry.mById.size() <= static_cast<std::size_t>(id)) {
        registry.mById.resize(static_cast<std::size_t>(id) + 1, nullptr);
        registry.mFilters.resize(static_cast<std::size_t>(id) + 1);
    }
    registry.mById[static_cast<std::size_t>(id)] = definition;
    registry.mFilters[static_cast<std::size_t>(id)] = std::make_unique<KPlugFilter>(id, definition);
    definition->mFilter = registry.mFilters[static_cast<std::size_t>(id)].get();
    if (definition->mClassName) registry.mByName.emplace(definition->mClassName, id);
    if (definition->mClassId) *definition->mClassId = id;
    return id;
}

KPlugFilter* KPlug_GetFilter(int classId) {
    ClassRegistry& registry = Registry();
    if (classId == -1) return &registry.mNone;
    if (classId < 0 || static_cast<std::size_t>(classId) >= registry.mFilters.size()) return nullptr;
    return registry.mFilters[static_cast<std::size_t>(classId)].get();
}

KClassDefinition* KPlug_GetClassDefinition(int classId) {
    ClassRegistry& registry = Registry();
    if (classId < 0 || static_cast<std::size_t>(classId) >= registry.mById.size()) return nullptr;
    return registry.mById[static_cast<std::size_t>(classId)];
}

int KPlug_GetClassIdByName(const char* className) {
    if (!className) return -1;
    ClassRegistry& registry = Registry();
    auto found = registry.mByName.find(className);
    return found == registry.mByName.end() ? -1 : found->second;
}

int KClassDefinition_GetId(KClassDefinition* definition) {
    if (!definition) return -1;
    if (!definition->mFilter) return KPlug_RegisterClassId(definition, -1);
    return definition->mFilter->GetClassId();
}

bool KClassDefinition_Is(KClassDefinition* definition, int classId) {
    for (KClassDefinition* d = definition; d; d = d->mParent) {
        const int id = d->mFilter ? d->mFilter->GetClassId() : KClassDefinition_GetId(d);
        if (id == classId) return true;
    }
    return false;
}

}  // namespace zeqsdk_400
