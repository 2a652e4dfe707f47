#include "content/kzeqlayercontainer.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// What the layer operations need to know of materials and of textures.
template <class T>
struct Kind;

template <>
struct Kind<KZeqMaterial> {
    typedef KZeqLayerElementMaterial Element;
    typedef KZeqMaterialProperties Properties;
    static constexpr bool kFoundAnswersPosition = false;
    static const char* Prefix() { return "Material::"; }
    static Element* Get(const KZeqLayer& layer) { return layer.GetMaterials(); }
    static Element* Make(KZeqLayer& layer) {
        auto* element = new Element;
        layer.SetMaterials(element);
        return element;
    }
    static void Enter(KZeqEntity& entity, KZeqMaterial* material) { entity.AddMaterial(material); }
    static void Leave(KZeqEntity& entity, KZeqMaterial* material) { entity.RemoveMaterial(material); }
    static KZeqMaterial* Of(KPlug* plug) { return static_cast<Properties*>(plug)->GetKZeqMaterial(); }
};

template <>
struct Kind<KZeqTexture> {
    typedef KZeqLayerElementTexture Element;
    typedef KZeqTextureProperties Properties;
    static constexpr bool kFoundAnswersPosition = true;
    static const char* Prefix() { return "Texture::"; }
    static Element* Get(const KZeqLayer& layer) { return layer.GetTextures(); }
    // Index to direct, blend 0, alpha 1.
    static Element* Make(KZeqLayer& layer) {
        auto* element = new Element;
        layer.SetTextures(element);
        return element;
    }
    static void Enter(KZeqEntity& entity, KZeqTexture* texture) { entity.AddTexture(texture); }
    static void Leave(KZeqEntity& entity, KZeqTexture* texture) { entity.RemoveTexture(texture); }
    static KZeqTexture* Of(KPlug* plug) { return static_cast<Properties*>(plug)->GetKZeqTexture(); }
};

// Elements in index mode name connected objects, not the direct array's:
// only the others hold entity references.
bool HoldsReferences(const KZeqLayerElement& element) {
    return element.GetReferenceMode() != KZeqLayerElement::eINDEX;
}

// The layer at a plain layer index; none at 2^31 and above.
KZeqLayer* LayerAt(const KZeqLayerContainer& container, unsigned int layer) {
    return layer > static_cast<unsigned int>(INT_MAX) ? nullptr : container.GetLayer(static_cast<int>(layer));
}

// The objects of a class connected to the node's property set, through a
// filtered view of its sources.
KPlugFilter* FilterOf(int classId) { return KPlug_GetFilter(classId); }

int ConnectedCount(KZeqNode* node, int classId) {
    KPlug* handler = node ? node->GetPropertyHandler() : nullptr;
    KPlugFilter* filter = FilterOf(classId);
    return handler && filter ? handler->GetSrcCount(filter) : 0;
}

// How many distinct values there are, counting no further than limit. The
// seen values go into an open-addressed table sized for limit entries, so
// the scan allocates once and a run of one value costs one compare per item.
int CountDistinct(const int* values, int count, int limit) {
    if (count <= 0 || limit <= 0) return 0;
    const int cap = limit < count ? limit : count;
    int bits = 4;
    while ((std::size_t{1} << bits) < 2 * static_cast<std::size_t>(cap)) ++bits;
    const std::size_t mask = (std::size_t{1} << bits) - 1;
    constexpr std::int64_t kEmpty = INT64_MIN;
    std::vector<std::int64_t> slots(mask + 1, kEmpty);
    int distinct = 0;
    int last = values[0];
    for (int i = 0; i < count; ++i) {
        const int value = values[i];
        if (i > 0 && value == last) continue;
        last = value;
        std::size_t slot =
            static_cast<std::size_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(value)) *
                                      0x9E3779B97F4A7C15ull) >> (64 - bits));
        while (slots[slot] != kEmpty && slots[slot] != value) slot = (slot + 1) & mask;
        if (slots[slot] == kEmpty) {
            slots[slot] = value;
            if (++distinct >= cap) return cap;
        }
    }
    return distinct;
}

template <class T>
int AddTo(KZeqLayerContainer& container, T* object, unsigned int layer) {
    if (!object || layer > static_cast<unsigned int>(INT_MAX)) return -1;
    while (container.GetLayerCount() <= static_cast<int>(layer)) container.CreateLayer();
    KZeqLayer* at = container.GetLayer(static_cast<int>(layer));
    if (!at) return -1;
    typename Kind<T>::Element* element = Kind<T>::Get(*at);
    if (!element) element = Kind<T>::Make(*at);
    KArrayTemplate<T*>& direct = element->GetDirectArray();
    const int found = direct.Find(object);
    if (found >= 0) return Kind<T>::kFoundAnswersPosition ? found : -1;
    const int position = direct.Add(object);
    if (position >= 0 && container.GetEntity() && HoldsReferences(*element))
        Kind<T>::Enter(*container.GetEntity(), object);
    return position;
}

template <class T>
int CountOf(KZeqLayerContainer& container, unsigned int layer) {
    KZeqLayer* at = LayerAt(container, layer);
    typename Kind<T>::Element* element = at ? Kind<T>::Get(*at) : nullptr;
    if (!element) return 0;
    if (HoldsReferences(*element)) return element->GetDirectArray().GetCount();
    const int connected = ConnectedCount(container.GetNode(), Kind<T>::Properties::ClassId);
    const KArrayTemplate<int>& indices = element->GetIndexArray();
    return CountDistinct(indices.GetArray(), indices.GetCount(), connected);
}

template <class T>
T* ObjectAt(KZeqLayerContainer& container, int index, unsigned int layer) {
    KZeqLayer* at = LayerAt(container, layer);
    typename Kind<T>::Element* element = at ? Kind<T>::Get(*at) : nullptr;
    if (!element) return nullptr;
    if (HoldsReferences(*element)) return element->GetDirectArray().GetAt(index);
    KZeqNode* node = container.GetNode();
    if (!node || index < 0 || index >= ConnectedCount(node, Kind<T>::Properties::ClassId)) return nullptr;
    KPlug* plug = node->GetPropertyHandler()->GetSrc(FilterOf(Kind<T>::Properties::ClassId), index);
    return plug ? Kind<T>::Of(plug) : nullptr;
}

template <class T>
int IndexOfName(KZeqLayerContainer& container, const char* name, unsigned int layer) {
    KZeqLayer* at = LayerAt(container, layer);
    typename Kind<T>::Element* element = at ? Kind<T>::Get(*at) : nullptr;
    if (!element || !name) return -1;
    const KString key = KZeqSdkManager::PrefixName(Kind<T>::Prefix(), name);
    const KArrayTemplate<T*>& direct = element->GetDirectArray();
    for (int i = 0; i < direct.GetCount(); ++i)
        if (direct[i] && std::strcmp(direct[i]->GetName(), key.Buffer()) == 0) return i;
    return -1;
}

// Each directly referenced object of the layer's element, entered into or
// taken out of the entity.
template <class T>
void MirrorLayer(const KZeqLayer& layer, KZeqEntity& entity, bool enter) {
    typename Kind<T>::Element* element = Kind<T>::Get(layer);
    if (!element || !HoldsReferences(*element)) return;
    const KArrayTemplate<T*>& direct = element->GetDirectArray();
    for (int i = 0; i < direct.GetCount(); ++i) {
        if (!direct[i]) continue;
        if (enter)
            Kind<T>::Enter(entity, direct[i]);
        else
            Kind<T>::Leave(entity, direct[i]);
    }
}

template <class T>
void ClearKind(KZeqLayerContainer& container) {
    for (int i = 0; i < container.GetLayerCount(); ++i) {
        KZeqLayer* layer = container.GetLayer(i);
        typename Kind<T>::Element* element = Kind<T>::Get(*layer);
        if (!element) continue;
        // The entity would otherwise go on counting references nobody holds.
        if (container.GetEntity()) MirrorLayer<T>(*layer, *container.GetEntity(), false);
        element->GetDirectArray().Clear();
        element->GetIndexArray().Clear();
    }
}

}  // namespace

KZeqLayerContainer::KZeqLayerContainer(KZeqSdkManager& manager) : KZeqNodeAttribute(manager) {}

KZeqLayerContainer::~KZeqLayerContainer() {
    ClearTexture();
    ClearMaterial();
    ClearLayers();
}

// ---- Layers -------------------------------------------------------------------------------

int KZeqLayerContainer::CreateLayer() {
    mLayers.push_back(std::make_unique<KZeqLayer>());
    return GetLayerCount() - 1;
}

void KZeqLayerContainer::ClearLayers() {
    // The entity would otherwise go on counting references nobody holds.
    if (mEntity)
        for (const auto& layer : mLayers) {
            MirrorLayer<KZeqMaterial>(*layer, *mEntity, false);
            MirrorLayer<KZeqTexture>(*layer, *mEntity, false);
        }
    while (!mLayers.empty()) {
        mLayers.back()->Clear();
        mLayers.pop_back();
    }
}

int KZeqLayerContainer::GetLayerCount(KZeqLayerElement::ELayerElementType type) const {
    int count = 0;
    for (const auto& layer : mLayers)
        if (layer->GetLayerElementOfType(type)) ++count;
    return count;
}

KZeqLayer* KZeqLayerContainer::GetLayer(int index) const {
    return index >= 0 && index < GetLayerCount() ? mLayers[static_cast<std::size_t>(index)].get() : nullptr;
}

KZeqLayer* KZeqLayerContainer::GetLayer(int n, KZeqLayerElement::ELayerElementType type) const {
    return GetLayer(GetLayerIndex(n, type));
}

int KZeqLayerContainer::GetLayerIndex(int n, KZeqLayerElement::ELayerElementType type) const {
    for (int i = 0, seen = 0; n >= 0 && i < GetLayerCount(); ++i)
        if (mLayers[static_cast<std::size_t>(i)]->GetLayerElementOfType(type) && seen++ == n) return i;
    return -1;
}

int KZeqLayerContainer::GetLayerTypedIndex(int index, KZeqLayerElement::ELayerElementType type) const {
    if (index < 0 || index >= GetLayerCount()) return -1;
    int count = 0;
    for (int i = 0; i <= index; ++i)
        if (mLayers[static_cast<std::size_t>(i)]->GetLayerElementOfType(type)) ++count;
    return count - 1;
}

void KZeqLayerContainer::CopyLayers(const KZeqLayerContainer* source) {
    if (source == this) return;
    ClearLayers();
    if (!source) return;
    mLayers.reserve(source->mLayers.size());
    for (const auto& layer : source->mLayers) {
        mLayers.push_back(std::make_unique<KZeqLayer>());
        *mLayers.back() = *layer;
        if (mEntity) {
            MirrorLayer<KZeqMaterial>(*mLayers.back(), *mEntity, true);
            MirrorLayer<KZeqTexture>(*mLayers.back(), *mEntity, true);
        }
    }
}

// ---- Control points and normals --------------------------------------------------------------

void KZeqLayerContainer::InitControlPoints(int count) {
    mControlPoints.Clear();
    mControlPoints.SetCount(count);
}

void KZeqLayerContainer::SetControlPointAt(const KZeqVector4& point, const KZeqVector4& normal, int index) {
    // A negative index would write before both arrays; INT_MAX cannot grow them.
    if (index < 0 || index == INT_MAX) return;
    KZeqLayer* first = GetLayer(0);
    KZeqLayerElementNormal* element = first ? first->GetNormals() : nullptr;
    if (!element) return;
    KArrayTemplate<KZeqVector4>& normals = element->GetDirectArray();
    if (index >= mControlPoints.GetCount() && !mControlPoints.SetCount(index + 1)) return;
    if (index >= normals.GetCount() && !normals.SetCount(index + 1)) return;
    mControlPoints[index] = point;
    normals[index] = normal;
}

void KZeqLayerContainer::InitNormals(int count) {
    if (GetLayerCount() == 0) CreateLayer();
    KZeqLayer* first = GetLayer(0);
    KZeqLayerElementNormal* element = first->GetNormals();
    if (!element) {
        element = new KZeqLayerElementNormal;
        first->SetNormals(element);
    }
    const bool byPolygonVertex = count >= 1 && count != GetControlPointsCount();
    element->SetMappingMode(byPolygonVertex ? KZeqLayerElement::eBY_POLYGON_VERTEX
                                            : KZeqLayerElement::eBY_CONTROL_POINT);
    element->SetReferenceMode(KZeqLayerElement::eDIRECT);
    element->GetDirectArray().Clear();
    element->GetDirectArray().SetCount(byPolygonVertex ? count : GetControlPointsCount());
}

KZeqVector4* KZeqLayerContainer::GetNormals() {
    KZeqLayer* first = GetLayer(0);
    KZeqLayerElementNormal* element = first ? first->GetNormals() : nullptr;
    return element ? element->GetDirectArray().GetArray() : nullptr;
}

void KZeqLayerContainer::Copy(const KZeqLayerContainer& source, KZeqSdkManager&) {
    if (&source == this) return;
    CopyLayers(&source);
    mControlPoints = source.mControlPoints;
}

// ---- Materials and textures ------------------------------------------------------------------

int KZeqLayerContainer::AddTexture(KZeqTexture* texture, unsigned int layer) { return AddTo(*this, texture, layer); }
KZeqTexture* KZeqLayerContainer::GetTexture(int index, unsigned int layer) {
    return ObjectAt<KZeqTexture>(*this, index, layer);
}
int KZeqLayerContainer::GetTextureIndex(const char* name, unsigned int layer) {
    return IndexOfName<KZeqTexture>(*this, name, layer);
}
int KZeqLayerContainer::GetTextureCount(unsigned int layer) { return CountOf<KZeqTexture>(*this, layer); }
void KZeqLayerContainer::ClearTexture() { ClearKind<KZeqTexture>(*this); }

int KZeqLayerContainer::AddMaterial(KZeqMaterial* material, unsigned int layer) {
    return AddTo(*this, material, layer);
}
KZeqMaterial* KZeqLayerContainer::GetMaterial(int index, unsigned int layer) {
    return ObjectAt<KZeqMaterial>(*this, index, layer);
}
int KZeqLayerContainer::GetMaterialIndex(const char* name, unsigned int layer) {
    return IndexOfName<KZeqMaterial>(*this, name, layer);
}
int KZeqLayerContainer::GetMaterialCount(unsigned int layer) { return CountOf<KZeqMaterial>(*this, layer); }
void KZeqLayerContainer::ClearMaterial() { ClearKind<KZeqMaterial>(*this); }

// ---- Entity -------------------------------------------------------------------------------

void KZeqLayerContainer::SetEntity(KZeqEntity* entity) {
    if (entity == mEntity) return;
    UnsetEntity();
    if (!entity) return;
    mEntity = entity;
    for (const auto& layer : mLayers) {
        MirrorLayer<KZeqMaterial>(*layer, *entity, true);
        MirrorLayer<KZeqTexture>(*layer, *entity, true);
    }
}

int KZeqLayerContainer::UnsetEntity() {
    if (!mEntity) return 0;
    for (const auto& layer : mLayers) {
        MirrorLayer<KZeqMaterial>(*layer, *mEntity, false);
        MirrorLayer<KZeqTexture>(*layer, *mEntity, false);
    }
    mEntity = nullptr;
    return GetLayerCount();
}

}  // namespace zeqsdk_400
