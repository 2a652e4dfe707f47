// The scene's conversions between its working form and the form the scene
// file stores (version 6 layout), run by the file reader and writer: the
// materials and textures of layer elements as connections to the nodes,
// skin links as skin and cluster deformers.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "content/kzeqdeformer.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "object/kclassdefinition.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

// What the layer conversions need to know of materials and of textures.
template <class T>
struct Kind;

template <>
struct Kind<KZeqMaterial> {
    typedef KZeqLayerElementMaterial Element;
    static constexpr E::ELayerElementType kType = E::eMATERIAL;
    static int ClassId() { return KZeqMaterial::GetClassID(); }
    static Element* Get(const KZeqLayer& layer) { return layer.GetMaterials(); }
    static KZeqMaterial* Of(KPlug* plug) { return static_cast<KZeqMaterialProperties*>(plug)->GetKZeqMaterial(); }
    static void Enter(KZeqEntity& entity, KZeqMaterial* material) { entity.AddMaterial(material); }
};

template <>
struct Kind<KZeqTexture> {
    typedef KZeqLayerElementTexture Element;
    static constexpr E::ELayerElementType kType = E::eTEXTURE;
    static int ClassId() { return KZeqTexture::GetClassID(); }
    static Element* Get(const KZeqLayer& layer) { return layer.GetTextures(); }
    static KZeqTexture* Of(KPlug* plug) { return static_cast<KZeqTextureProperties*>(plug)->GetKZeqTexture(); }
    static void Enter(KZeqEntity& entity, KZeqTexture* texture) { entity.AddTexture(texture); }
};

// A name without everything up to and including its first "::".
KString ShortName(const char* name) {
    const KString text(name);
    const int separator = text.Find("::");
    return separator >= 0 ? text.Mid(static_cast<unsigned int>(separator) + 2) : text;
}

KZeqNode* NodeOf(KPlug* plug) {
    return plug && plug->Is(KZeqNodeProperties::ClassId) ? static_cast<KZeqNodeProperties*>(plug)->GetKZeqNode()
                                                         : nullptr;
}

// The names of the deformers of the entity and of those made since, so
// that each new name is checked once against a hash set, and per name asked
// for, the number its next clash is to try: thousands of links to nodes of
// one short name stay linear.
class DeformerNames {
public:
    explicit DeformerNames(KZeqEntity& entity) {
        for (int i = 0; i < entity.GetDeformerCount(); ++i) mTaken.insert(entity.GetDeformer(i)->GetName());
    }
    // text, or text followed by " 1", " 2", ..., whichever the manager does
    // not yet give a deformer of the type; taken from then on.
    KString Claim(const KString& text, const char* typeName) {
        const char* prefix = GetDeformerPrefixFromTypeName(typeName);
        KString claimed = text;
        std::string name = KZeqSdkManager::PrefixName(prefix, claimed).Buffer();
        if (mTaken.count(name)) {
            int& next = mNext.emplace(name, 1).first->second;
            do {
                claimed = text + " " + std::to_string(next++).c_str();
                name = KZeqSdkManager::PrefixName(prefix, claimed).Buffer();
            } while (mTaken.count(name));
        }
        mTaken.insert(name);
        return claimed;
    }

private:
    std::unordered_set<std::string> mTaken;
    std::unordered_map<std::string, int> mNext;
};

// ---- Layers and connections ------------------------------------------------------------------------

// Layers to connections: each material (texture) a direct or
// index-to-direct element of a node's geometry holds becomes a source of
// the node; indices past the direct array become -1.
template <class T>
void ConnectLayers(KZeqEntity& entity) {
    for (int i = 0; i < entity.GetNodeCount(); ++i) {
        KZeqNode* node = entity.GetNode(i);
        KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
        if (!geometry) continue;
        KPlug* handler = node->GetPropertyHandler();
        for (int l = 0; l < geometry->GetLayerCount(Kind<T>::kType); ++l) {
            typename Kind<T>::Element* element = Kind<T>::Get(*geometry->GetLayer(l, Kind<T>::kType));
            const E::EReferenceMode mode = element->GetReferenceMode();
            if (mode != E::eDIRECT && mode != E::eINDEX_TO_DIRECT) continue;
            const KArrayTemplate<T*>& direct = element->GetDirectArray();
            for (int k = 0; k < direct.GetCount(); ++k)
                if (direct[k] && !handler->IsConnectedSrc(direct[k]->GetPropertyHandler()))
                    handler->ConnectSrc(direct[k]->GetPropertyHandler(), 0);
            if (mode != E::eINDEX_TO_DIRECT) continue;
            KArrayTemplate<int>& indices = element->GetIndexArray();
            for (int k = 0; k < indices.GetCount(); ++k)
                if (indices[k] >= direct.GetCount()) indices[k] = -1;
        }
    }
}

// Connections to layers: the materials (textures) connected to each node
// fill its geometry's direct and index-to-direct elements.
template <class T>
void BuildLayers(KZeqEntity& entity) {
    KPlugFilter* filter = KPlug_GetFilter(Kind<T>::ClassId());
    for (int i = 0; i < entity.GetNodeCount(); ++i) {
        KZeqNode* node = entity.GetNode(i);
        KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
        if (!geometry || !filter) continue;
        KPlug* handler = node->GetPropertyHandler();
        // Items appended to an element holding references are counted in
        // the entity the geometry belongs to, as when added one by one.
        KZeqEntity* entity = geometry->GetEntity();
        auto append = [&](KArrayTemplate<T*>& direct, T* object) {
            direct.Add(object);
            if (entity && object) Kind<T>::Enter(*entity, object);
        };
        for (int l = 0; l < geometry->GetLayerCount(Kind<T>::kType); ++l) {
            typename Kind<T>::Element* element = Kind<T>::Get(*geometry->GetLayer(l, Kind<T>::kType));
            const int sources = handler->GetSrcCount(filter);
            KArrayTemplate<T*>& direct = element->GetDirectArray();
            if (element->GetReferenceMode() == E::eDIRECT) {
                while (direct.GetCount() < sources)
                    append(direct, Kind<T>::Of(handler->GetSrc(filter, direct.GetCount())));
            } else if (element->GetReferenceMode() == E::eINDEX_TO_DIRECT) {
                // Each named source is appended once; all entries are then
                // renumbered through one map, so that a new position equal to
                // a source number still to come is not renumbered again.
                KArrayTemplate<int>& indices = element->GetIndexArray();
                std::vector<char> named(static_cast<std::size_t>(sources), 0);
                for (int k = 0; k < indices.GetCount(); ++k)
                    if (indices[k] >= 0 && indices[k] < sources) named[static_cast<std::size_t>(indices[k])] = 1;
                std::vector<int> position(static_cast<std::size_t>(sources), -1);
                for (int c = 0; c < sources; ++c) {
                    if (!named[static_cast<std::size_t>(c)]) continue;
                    position[static_cast<std::size_t>(c)] = direct.GetCount();
                    append(direct, Kind<T>::Of(handler->GetSrc(filter, c)));
                }
                for (int k = 0; k < indices.GetCount(); ++k)
                    if (indices[k] >= 0 && indices[k] < sources)
                        indices[k] = position[static_cast<std::size_t>(indices[k])];
            }
        }
    }
}

}  // namespace

void KZeqScene::ConnectMaterials() { ConnectLayers<KZeqMaterial>(*mEntity); }
void KZeqScene::ConnectTextures() { ConnectLayers<KZeqTexture>(*mEntity); }
void KZeqScene::BuildMaterialLayersDirectArray() { BuildLayers<KZeqMaterial>(*mEntity); }
void KZeqScene::BuildTextureLayersDirectArray() { BuildLayers<KZeqTexture>(*mEntity); }

// ---- Links and deformers ---------------------------------------------------------------------------

void KZeqScene::BuildKZeqDeformerFromKZeqLink() {
    DeformerNames names(*mEntity);
    for (int i = 0; i < mEntity->GetNodeCount(); ++i) {
        KZeqNode* node = mEntity->GetNode(i);
        KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
        if (!geometry || geometry->GetLinkCount() == 0) continue;
        // Skins are named apart too: a reader binds every connection naming a
        // skin to the first of that name, and a skin's name loses what comes
        // before a "::" in it (nodes "a::body" and "c::body" both give "body").
        const KString skinName = names.Claim(KString("Skin ") + ShortName(node->GetName()), "Skin");
        KZeqDeformer* skin = mManager.CreateKZeqDeformer(skinName, "Skin");
        if (!skin) continue;
        AddDeformer(skin);
        node->GetPropertyHandler()->ConnectSrc(skin->GetPropertyHandler(), 0);
        for (int l = 0; l < geometry->GetLinkCount(); ++l) {
            KZeqLink* link = geometry->GetLink(l);
            if (!link || !link->GetLink()) continue;
            const KString clusterName =
                names.Claim(KString("SubDeformer::Cluster ") + ShortName(link->GetLink()->GetName()), "Cluster");
            KZeqDeformer* cluster = mManager.CreateKZeqDeformer(clusterName, "Cluster");
            if (!cluster) continue;
            AddDeformer(cluster);
            *cluster = *link;
            KPlug* handler = cluster->GetPropertyHandler();
            handler->ConnectSrc(link->GetLink()->GetPropertyHandler(), 0);
            KProperty* reference = cluster->GetPropertyHandler()->FindPropertyByName("SrcModelReference");
            if (link->GetAssociateModel() && reference)
                reference->ConnectSrc(link->GetAssociateModel()->GetPropertyHandler(), 0);
            skin->GetPropertyHandler()->ConnectSrc(handler, 0);
        }
    }
}

void KZeqScene::BuildKZeqLinkFromKZeqDeformer() {
    KPlugFilter* deformers = KPlug_GetFilter(KZeqDeformer::GetClassID());
    KPlugFilter* nodes = KPlug_GetFilter(KZeqNodeProperties::ClassId);
    if (!deformers || !nodes) return;
    for (int i = 0; i < GetDeformerCount(KZeqDeformer::eSKIN); ++i) {
        KPlug* skin = GetDeformer(i, KZeqDeformer::eSKIN)->GetPropertyHandler();
        for (int d = 0; d < skin->GetDstCount(); ++d) {
            KZeqNode* node = NodeOf(skin->GetDst(d));
            KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
            if (!geometry) continue;
            for (int s = 0; s < skin->GetSrcCount(deformers); ++s) {
                KZeqDeformer* cluster =
                    static_cast<KZeqDeformerProperties*>(skin->GetSrc(deformers, s))->GetKZeqDeformer();
                if (!cluster || cluster->GetDeformerType() != KZeqDeformer::eCLUSTER) continue;
                KZeqLink* link = mManager.CreateKZeqLink();
                if (!link) continue;
                *link = *cluster;
                KPlug* handler = cluster->GetPropertyHandler();
                if (handler->GetSrcCount(nodes) > 0) link->SetLink(NodeOf(handler->GetSrc(nodes, 0)));
                KProperty* reference = cluster->GetPropertyHandler()->FindPropertyByName("SrcModelReference");
                if (reference && reference->GetSrcCount(nodes) > 0)
                    link->SetAssociateModel(NodeOf(reference->GetSrc(nodes, 0)));
                geometry->AddLink(link);
            }
        }
    }
}

void KZeqScene::RemoveKZeqDeformers() {
    for (int type : {KZeqDeformer::eCLUSTER, KZeqDeformer::eANY_DEFORMER}) {
        while (KZeqDeformer* deformer = GetDeformer(0, type)) {
            // Entered more than once, it is taken out as often: it must not
            // stay listed once it has ended.
            while (GetDeformer(0, type) == deformer) RemoveDeformer(deformer);
            mManager.DestroyKZeqDeformer(deformer);
        }
    }
}

}  // namespace zeqsdk_400
