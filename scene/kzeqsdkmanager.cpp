#include "scene/kzeqsdkmanager.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include <vector>

#include "base/klib.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqSdkManager::eErrorCount] = {"Object not found", nullptr};

// References on the base library: one held by the loaded library, one per
// living manager. Plain integers, constant-initialised, so a manager made by
// another load-time object finds them ready.
int gManagerReferences = 0;
bool gLibraryReferenceTaken = false;

// The library's own reference is taken on first use: at load, or by the first
// manager if one is made before this file's load-time object runs.
void TakeLibraryReference() {
    if (gLibraryReferenceTaken) return;
    gLibraryReferenceTaken = true;
    KBaseLib_Init();
    ++gManagerReferences;
}

struct LibraryLifetime {
    LibraryLifetime() { TakeLibraryReference(); }
    ~LibraryLifetime() {
        if (gManagerReferences > 0) --gManagerReferences;
        KBaseLib_Terminate();
    }
} gLibraryLifetime;

}  // namespace

// Each list's kind and listener; kinds not built yet have no row and their
// lists stay empty.
const KZeqSdkManager::ListRow KZeqSdkManager::kListRows[eListCount] = {
    {&kSceneOps, -1},               // scenes
    {&kNodeOps, eNodeListener},     // nodes
    {&kNodeAttributeOps, -1},       // node attributes
    {&kLinkOps, -1},                // links
    {&kMaterialOps, eMaterialListener},  // materials
    {&kShapeOps, -1},               // shapes
    {&kTextureOps, eTextureListener},  // textures
    {&kGoboOps, -1},                // gobos
    {&kPoseOps, -1},                // poses
    {&kUserPropertyOps, -1},        // user properties
    {&kThumbnailOps, -1},           // thumbnails
    {&kSceneInfoOps, -1},           // scene informations
    {&kGenericNodeOps, -1},         // generic nodes
    {&kDeformerOps, -1},            // deformers
    {&kGeometryConverterOps, -1},   // geometry converters
    {&kImageConverterOps, -1},      // image converters
    {&kImportExportOps, -1},        // exporters
    {&kImportExportOps, -1},        // importers
};

// Scenes first, since ending one destroys objects of the other lists; then
// importers and exporters, which give back the scene information they hold.
const KZeqSdkManager::EList KZeqSdkManager::kClearOrder[eListCount] = {
    eScenes,   eExporters,      eImporters,      eNodeAttributes, eNodes,         eLinks,
    eMaterials, eShapes,        eTextures,       eGobos,          ePoses,         eUserProperties,
    eGenericNodes, eThumbnails, eSceneInfos,     eGeometryConverters, eDeformers, eImageConverters,
};

void (*KZeqSdkManager::sEndImportExport)(void* object) = nullptr;
KZeqExporter* (*KZeqSdkManager::sNewExporter)(KZeqSdkManager& manager) = nullptr;
KZeqImporter* (*KZeqSdkManager::sNewImporter)(KZeqSdkManager& manager) = nullptr;

KZeqExporter* KZeqSdkManager::AllocateKZeqExporter() { return sNewExporter ? sNewExporter(*this) : nullptr; }
KZeqImporter* KZeqSdkManager::AllocateKZeqImporter() { return sNewImporter ? sNewImporter(*this) : nullptr; }
const KZeqSdkManager::KindOps KZeqSdkManager::kImportExportOps = {
    [](void* object) {
        if (sEndImportExport) sEndImportExport(object);
    },
    nullptr};

KZeqSdkManager::KZeqSdkManager() : mError(kErrorTable, eErrorCount) {
    // Every node publishes dozens of user properties: they keep their own place.
    mLists[eUserProperties].KeepSlotsIn(&kUserPropertySlots);
    TakeLibraryReference();
    if (gManagerReferences == 0) KBaseLib_Init();
    ++gManagerReferences;
}

KZeqSdkManager::~KZeqSdkManager() {
    // Runs the base implementation: a subclass's Clear is gone by now.
    KZeqSdkManager::Clear();
    for (auto& listener : mListeners) listener.reset();
    if (--gManagerReferences == 0) KBaseLib_Terminate();
}

KZeqSdkManager* KZeqSdkManager::CreateKZeqSdkManager() { return new KZeqSdkManager; }

KString KZeqSdkManager::PrefixName(const char* prefix, const char* name) {
    KString text(name ? name : "");
    int separator = text.Find("::");
    if (separator >= 0) text = text.Mid(static_cast<unsigned>(separator) + 2);
    if (text.IsEmpty()) text = "Name";
    if (prefix && *prefix) return KString(prefix) + text;
    return text;
}

const char* GetDeformerPrefixFromTypeName(const char* typeName) {
    return KString(typeName ? typeName : "").CompareNoCase("Cluster") == 0 ? "SubDeformer::" : "Deformer::";
}

void* KZeqSdkManager::Listed(EList list, void* object, KName* name) {
    if (!object) return nullptr;
    if (!mLists[list].Add(object)) return object;  // a subclass allocator handed back a listed object
    const int listener = kListRows[list].mListener;
    if (listener >= 0 && mListeners[listener] && name) mListeners[listener]->Add(name);
    return object;
}

bool KZeqSdkManager::DestroyListed(EList list, void* object) {
    if (!mLists[list].Remove(object)) {
        NotFound();
        return false;
    }
    kListRows[list].mKind->mEnd(object);
    return true;
}

void* KZeqSdkManager::FindNamed(EList list, const char* key, int index) {
    const KZeqObjectList& objects = mLists[list];
    for (int i = 0, seen = 0; i < objects.GetCount() && index >= 0; ++i) {
        void* object = objects.GetAt(i);
        if (std::strcmp(kListRows[list].mKind->mName(object), key) == 0 && seen++ == index) return object;
    }
    NotFound();
    return nullptr;
}

void KZeqSdkManager::Clear() {
    const bool clearing = std::exchange(mClearing, true);
    for (EList list : kClearOrder) {
        // One at a time from the front: an object ending may destroy others,
        // of this list or another, through the manager.
        KZeqObjectList& objects = mLists[list];
        while (objects.GetCount() > 0) {
            void* object = objects.GetAt(0);
            objects.RemoveAt(0);
            kListRows[list].mKind->mEnd(object);
        }
    }
    for (auto& listener : mListeners)
        if (listener) listener->Clear();
    mClearing = clearing;
}

void KZeqSdkManager::SetListener(EListener which, KZeqNameListener* listener) {
    if (which < 0 || which >= eListenerCount) return;
    mListeners[which].reset(listener);
}

// Nodes and attributes.

KZeqNode* KZeqSdkManager::CreateKZeqNode(const char* name) {
    KZeqNode* node = AllocateKZeqNode(PrefixName("Model::", name));
    return static_cast<KZeqNode*>(Listed(eNodes, node, node ? &node->mName : nullptr));
}

KZeqNode* KZeqSdkManager::AllocateKZeqNode(const char* name) { return new KZeqNode(*this, name); }

bool KZeqSdkManager::DestroyKZeqNode(KZeqNode* node, bool recursive) {
    if (!mLists[eNodes].Remove(node)) {
        NotFound();
        return false;
    }
    bool result = true;
    if (recursive) {
        // The descendants are taken first (each leaves its parent as it ends)
        // and ended deepest first, each through the virtual slot: none of
        // those calls finds children left, so no depth of tree recurses deeply.
        std::vector<KZeqNode*> pending, order;
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        while (!pending.empty()) {
            KZeqNode* next = pending.back();
            pending.pop_back();
            order.push_back(next);
            for (int i = 0; i < next->GetChildCount(); ++i) pending.push_back(next->GetChild(i));
        }
        // A few at a time, their take trees read together first: the reads
        // overlap, and each ending finds its trees in the cache.
        constexpr std::ptrdiff_t kReadAhead = 4;
        std::vector<KZeqTakeNodeContainer*> ahead;
        for (auto descendant = order.rbegin(); descendant != order.rend(); ++descendant) {
            if ((descendant - order.rbegin()) % kReadAhead == 0) {
                ahead.assign(descendant, descendant + std::min(kReadAhead, order.rend() - descendant));
                KZeqTakeNodeContainer::ReadTakesAhead(ahead.data(), ahead.size());
            }
            result = DestroyKZeqNode(*descendant, true) && result;
        }
        if (KZeqNodeAttribute* attribute = node->GetNodeAttribute())
            result = DestroyKZeqNodeAttribute(attribute) && result;
    }
    kNodeOps.mEnd(node);
    return result;
}

bool KZeqSdkManager::DestroyKZeqNodeAttribute(KZeqNodeAttribute* attribute) {
    return DestroyListed(eNodeAttributes, attribute);
}

KZeqNode* KZeqSdkManager::FindKZeqNode(const char* name, int index) {
    return static_cast<KZeqNode*>(FindNamed(eNodes, PrefixName("Model::", name), index));
}

KZeqNode* KZeqSdkManager::GetKZeqNode(int index) const { return static_cast<KZeqNode*>(mLists[eNodes].GetAt(index)); }

const KZeqSdkManager::KindOps KZeqSdkManager::kNodeOps = {
    [](void* object) {
        auto* node = static_cast<KZeqNode*>(object);
        node->Destruct();
        delete node;
    },
    [](const void* object) { return static_cast<const KZeqNode*>(object)->GetName(); }};

// An attribute leaves its node before it ends, so that no node points at it.
const KZeqSdkManager::KindOps KZeqSdkManager::kNodeAttributeOps = {
    [](void* object) {
        auto* attribute = static_cast<KZeqNodeAttribute*>(object);
        if (KZeqNode* node = attribute->GetNode()) node->SetNodeAttribute(nullptr);
        delete attribute;
    },
    nullptr};

// User properties, thumbnails and scene informations.

KZeqUserProperty* KZeqSdkManager::CreateKZeqUserProperty(const char* name, const char* typeName, const char* label) {
    KZeqUserProperty* property = AllocateKZeqUserProperty(name, typeName, label);
    if (property && !mLists[eUserProperties].Contains(property)) property->mOrder = TakeCreationOrder();
    return static_cast<KZeqUserProperty*>(Listed(eUserProperties, property));
}

KZeqUserProperty* KZeqSdkManager::CreateKZeqUserProperty(KProperty* property) {
    KZeqUserProperty* user = AllocateKZeqUserProperty(property);
    if (user && !mLists[eUserProperties].Contains(user)) user->mOrder = TakeCreationOrder();
    return static_cast<KZeqUserProperty*>(Listed(eUserProperties, user));
}

KZeqUserProperty* KZeqSdkManager::MakeBuiltInWrapper(KProperty* property, KZeqPropertyHandler* handler,
                                                      std::uint64_t order) {
    // A property that has ended leaves a wrapper bound to nothing, as one made
    // before its end would be now.
    KZeqUserProperty* user = property ? AllocateKZeqUserProperty(property) : new KZeqUserProperty(*this, property);
    if (!user) return nullptr;
    if (!mLists[eUserProperties].Contains(user)) {
        user->mOrder = order;
        Listed(eUserProperties, user);
    }
    user->SetPropertyHandler(handler);
    return user;
}

KZeqThumbnail* KZeqSdkManager::CreateKZeqThumbnail() {
    return static_cast<KZeqThumbnail*>(Listed(eThumbnails, AllocateKZeqThumbnail()));
}

KZeqSceneInfo* KZeqSdkManager::CreateKZeqSceneInfo() {
    return static_cast<KZeqSceneInfo*>(Listed(eSceneInfos, AllocateKZeqSceneInfo()));
}

KZeqUserProperty* KZeqSdkManager::AllocateKZeqUserProperty(const char* name, const char* typeName,
                                                           const char* label) {
    if (!name || !label) return nullptr;
    return new KZeqUserProperty(*this, name, typeName, label);
}

KZeqUserProperty* KZeqSdkManager::AllocateKZeqUserProperty(KProperty* property) {
    return property ? new KZeqUserProperty(*this, property) : nullptr;
}

KZeqThumbnail* KZeqSdkManager::AllocateKZeqThumbnail() { return new KZeqThumbnail; }

KZeqSceneInfo* KZeqSdkManager::AllocateKZeqSceneInfo() { return new KZeqSceneInfo; }

bool KZeqSdkManager::DestroyKZeqUserProperty(KZeqUserProperty* property) {
    return DestroyListed(eUserProperties, property);
}

bool KZeqSdkManager::DestroyKZeqThumbnail(KZeqThumbnail* thumbnail) { return DestroyListed(eThumbnails, thumbnail); }

bool KZeqSdkManager::DestroyKZeqSceneInfo(KZeqSceneInfo* info) { return DestroyListed(eSceneInfos, info); }

void KZeqSdkManager::EndPropertyWrapper(KZeqUserProperty* property) {
    // Clear ends every user property in its own pass; otherwise one is looked at
    // only while listed.
    if (mClearing || !property) return;
    if (mLists[eUserProperties].RemoveIf(property, [](const void* listed) {
            return !static_cast<const KZeqUserProperty*>(listed)->mRecord;
        }))
        kListRows[eUserProperties].mKind->mEnd(property);
}

KZeqUserProperty* KZeqSdkManager::FindKZeqUserProperty(const char* name) {
    if (!name) return nullptr;
    // The first in creation order: of the listed user properties, and of the
    // nodes' built-in entries whose wrappers are not made yet.
    KZeqUserProperty* found = nullptr;
    const KZeqObjectList& list = mLists[eUserProperties];
    for (int i = 0; i < list.GetCount(); ++i) {
        auto* property = static_cast<KZeqUserProperty*>(list.GetAt(i));
        if ((!found || property->mOrder < found->mOrder) && property->HasName(name)) found = property;
    }
    KZeqObject* owner = nullptr;
    int entry = -1;
    std::uint64_t first = found ? found->mOrder : UINT64_MAX;
    const KZeqObjectList& nodes = mLists[eNodes];
    for (int i = 0; i < nodes.GetCount(); ++i) {
        KZeqObject* node = static_cast<KZeqNode*>(nodes.GetAt(i));
        if (!node->mRows || node->mRowOrder >= first) continue;
        const int index = node->FindUnmadeBuiltIn(name);
        if (index < 0 || node->mRowOrder + static_cast<std::uint64_t>(index) >= first) continue;
        owner = node;
        entry = index;
        first = node->mRowOrder + static_cast<std::uint64_t>(index);
    }
    return owner ? owner->MadeBuiltIn(entry) : found;
}

const KZeqObjectList::SlotKeeper KZeqSdkManager::kUserPropertySlots = {
    [](const void* object) { return static_cast<const KZeqUserProperty*>(object)->mListSlot; },
    [](void* object, int slot) { static_cast<KZeqUserProperty*>(object)->mListSlot = slot; }};

// Plain deletion: these classes have no virtual destructor.
const KZeqSdkManager::KindOps KZeqSdkManager::kUserPropertyOps = {
    [](void* object) { delete static_cast<KZeqUserProperty*>(object); }, nullptr};
const KZeqSdkManager::KindOps KZeqSdkManager::kThumbnailOps = {
    [](void* object) { delete static_cast<KZeqThumbnail*>(object); }, nullptr};
const KZeqSdkManager::KindOps KZeqSdkManager::kSceneInfoOps = {
    [](void* object) { delete static_cast<KZeqSceneInfo*>(object); }, nullptr};

}  // namespace zeqsdk_400
