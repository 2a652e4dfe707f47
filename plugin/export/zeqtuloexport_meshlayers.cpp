// The last step of the mesh writer: the shading groups of the shape instance become materials,
// their textures texture elements, the UV sets UV elements of the layers of the textures that use
// them, and every polygon gets its material and texture index. Polygons without a shader use a
// temporary host shader "Default_Material", deleted again at the end.
#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "plugin/export/zeqtuloexport.h"
#include "tfnmesh.h"
#include "tfnshading.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

const char kDefaultShaderName[] = "Default_Material";

// The host shader that stands in for polygons without one, made on first need and deleted when
// the step ends. When the host cannot make it, a null shader stands in (a grey material).
class DefaultShader {
public:
    ~DefaultShader() {
        if (!mMade) return;
        TString command("delete ");
        command += TFnDependencyNode(mShader).name();
        TGlobal::executeCommand(command, false, false);
    }

    const TObject& Get() {
        if (mTried) return mShader;
        mTried = true;
        TStatus status;
        TFnPhongShader phong;
        TObject shader = phong.create(true, &status);
        if (!status) {
            status.perror("Cannot create default shader");
            return mShader;
        }
        phong.setName(kDefaultShaderName);
        phong.setCosPower(3.0f);
        phong.setSpecularColor(TColor(0.3f, 0.3f, 0.3f, 1.0f));
        phong.setColor(TColor(0.5f, 0.5f, 0.5f, 1.0f));
        phong.setTransparency(TColor(0.0f, 0.0f, 0.0f, 1.0f));
        phong.setAmbientColor(TColor(0.4f, 0.4f, 0.4f, 1.0f));
        mShader = shader;
        mMade = true;
        return mShader;
    }
    bool Made() const { return mMade; }

    DefaultShader() = default;
    DefaultShader(const DefaultShader&) = delete;
    DefaultShader& operator=(const DefaultShader&) = delete;

private:
    TObject mShader;
    bool mTried = false;
    bool mMade = false;
};

// One shading group in use: its index in the host's group array (-1: the default shader), its
// surface shader and the material's name.
struct UsedShader {
    int mGroup;
    TObject mShader;
    bool mDefault;
    std::unique_ptr<KLayerMapping> mMapping;
};

int FindUsed(const std::vector<UsedShader>& used, int group) {
    for (std::size_t i = 0; i < used.size(); ++i)
        if (used[i].mGroup == group) return static_cast<int>(i);
    return -1;
}

// The UV element of the layer, made when missing, set to hold UVs by polygon vertex.
KZeqLayerElementUV& UVElement(KZeqLayer& layer) {
    KZeqLayerElementUV* uvs = layer.GetUVs();
    if (!uvs) {
        uvs = new KZeqLayerElementUV;
        uvs->SetMappingMode(KZeqLayerElement::eNONE);
        uvs->SetReferenceMode(KZeqLayerElement::eDIRECT);
        layer.SetUVs(uvs);
    }
    uvs->SetMappingMode(KZeqLayerElement::eBY_POLYGON_VERTEX);
    uvs->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    return *uvs;
}

}  // namespace

void ZeqTuloExport::WriteMeshLayers(TFnMesh& finalMesh, ZeqTuloNode* node, KZeqMesh* mesh, unsigned instance) {
    TObjectArray groups;
    TIntArray groupOfPolygon;
    if (!finalMesh.getConnectedShaders(instance, groups, groupOfPolygon)) return;
    const int F = static_cast<int>(groupOfPolygon.length());
    DefaultShader defaultShader;

    // The groups in order of first use, each with its surface shader. A group without one (or a
    // polygon without a group) takes the default shader, so every polygon has an entry.
    std::vector<UsedShader> used;
    for (int f = 0; f < F; ++f) {
        int group = groupOfPolygon[static_cast<unsigned>(f)];
        if (group < -1 || group >= static_cast<int>(groups.length())) group = -1;
        if (FindUsed(used, group) >= 0) continue;
        TObject shader;
        if (group >= 0) {
            TObject set = groups[static_cast<unsigned>(group)];
            shader = FindShader(set);
        }
        const bool isDefault = shader.isNull();
        if (isDefault) shader = defaultShader.Get();
        used.push_back(UsedShader{group, shader, isDefault, nullptr});
    }

    bool textured = false;
    for (UsedShader& entry : used) {
        entry.mMapping.reset(
            new KLayerMapping(F, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME));
        textured = DefineTextures(entry.mShader, node, *entry.mMapping) || textured;
    }

    // Each polygon counts towards every texture of its group.
    std::vector<int> entryOfPolygon(static_cast<std::size_t>(F));
    for (int f = 0; f < F; ++f) {
        int group = groupOfPolygon[static_cast<unsigned>(f)];
        if (group < -1 || group >= static_cast<int>(groups.length())) group = -1;
        const int position = FindUsed(used, group);
        entryOfPolygon[static_cast<std::size_t>(f)] = position;
    }
    // Counters per group, added to each key at once rather than per polygon.
    std::vector<unsigned> polygonsOfEntry(used.size(), 0);
    for (int f = 0; f < F; ++f) ++polygonsOfEntry[static_cast<std::size_t>(entryOfPolygon[static_cast<std::size_t>(f)])];
    for (std::size_t e = 0; e < used.size(); ++e)
        for (int k = 0; k < used[e].mMapping->mKeyCounts.GetCount(); ++k)
            used[e].mMapping->mKeyCounts[k] += polygonsOfEntry[e];

    // Texture mapping modes: all polygons of the mesh, or some of them (layer 0 is always by polygon).
    for (UsedShader& entry : used) {
        KLayerMapping& mapping = *entry.mMapping;
        if (!mapping.mHasData) continue;
        for (int L = 0; L < mapping.mLayerIndices.GetCount(); ++L) {
            // Positions beyond the keys have no texture object of their own.
            if (L >= mapping.mKeyCounts.GetCount() || static_cast<unsigned>(L) >= mapping.mTextureObjects.length())
                continue;
            if (mapping.mTextureObjects[static_cast<unsigned>(L)].isNull()) continue;
            KZeqLayer* layer = mesh->GetLayer(L, KZeqLayerElement::eTEXTURE);
            KZeqLayerElementTexture* textures = layer ? layer->GetTextures() : nullptr;
            if (!textures) continue;
            KZeqLayerElement::EMappingMode mode = L == 0 ? KZeqLayerElement::eBY_POLYGON
                                                  : static_cast<long long>(mapping.mKeyCounts[L]) >= F
                                                      ? mapping.mTextureMappingMode
                                                      : mapping.mPartialTextureMappingMode;
            if (textures->GetMappingMode() != mode) textures->SetMappingMode(mode);
        }
    }

    // UV sets: each to the layers of the textures that use it, or to layer 0.
    TStringArray setNames;
    finalMesh.getUVSetNames(setNames);
    const unsigned setCount = setNames.length();
    std::vector<TObjectArray> setTextures(setCount);
    bool associated = false;
    for (unsigned s = 0; s < setCount; ++s) {
        finalMesh.getAssociatedUVSetTextures(setNames[s], setTextures[s]);
        associated = associated || setTextures[s].length() > 0;
    }
    for (unsigned s = 0; s < setCount; ++s) {
        const TString& name = setNames[s];
        if (finalMesh.numUVs(name) == 0 || (associated && setTextures[s].length() == 0)) continue;
        // The layers the set goes to: those of its textures in each group, or layer 0.
        std::vector<int> targets;
        auto target = [&](unsigned int layerIndex) {
            if (layerIndex > static_cast<unsigned int>(INT_MAX)) return;
            if (std::find(targets.begin(), targets.end(), static_cast<int>(layerIndex)) == targets.end())
                targets.push_back(static_cast<int>(layerIndex));
        };
        for (UsedShader& entry : used) {
            const KLayerMapping& mapping = *entry.mMapping;
            if (setTextures[s].length() == 0) {
                target(0);
                continue;
            }
            for (unsigned t = 0; t < setTextures[s].length(); ++t)
                for (unsigned j = 0; j < mapping.mTextureObjects.length(); ++j) {
                    if (!(mapping.mTextureObjects[j] == setTextures[s][t])) continue;
                    if (static_cast<int>(j) < mapping.mLayerIndices.GetCount())
                        target(mapping.mLayerIndices[static_cast<int>(j)]);
                    break;
                }
        }
        if (targets.empty()) continue;
        for (int L : targets)
            while (mesh->GetLayerCount() <= L)
                if (mesh->CreateLayer() < 0) return;
        // Read straight into the first layer's element; the others get copies of it.
        KZeqLayerElementUV& first = UVElement(*mesh->GetLayer(targets[0]));
        TFloatArray u, v;
        finalMesh.getUVs(u, v, &name);
        const unsigned uvCount = u.length() < v.length() ? u.length() : v.length();
        KArrayTemplate<KZeqVector2>& direct = first.GetDirectArray();
        if (!direct.SetCount(static_cast<int>(uvCount))) continue;
        for (unsigned i = 0; i < uvCount; ++i) direct[static_cast<int>(i)].Set(u[i], v[i]);
        KArrayTemplate<int>& indices = first.GetIndexArray();
        indices.Clear();
        for (int f = 0; f < F; ++f) {
            const int size = finalMesh.polygonVertexCount(f);
            for (int k = 0; k < size; ++k) {
                int index = -1;  // a face-vertex without a UV
                finalMesh.getPolygonUVid(f, k, index, &name);
                indices.Add(index);
            }
        }
        for (std::size_t t = 1; t < targets.size(); ++t) {
            KZeqLayerElementUV& copy = UVElement(*mesh->GetLayer(targets[t]));
            copy.GetDirectArray() = direct;
            copy.GetIndexArray() = indices;
        }
    }

    // Materials, one per group in use (the same for every polygon of the group).
    for (UsedShader& entry : used) {
        KLayerMapping& mapping = *entry.mMapping;
        if (!mapping.mHasData) continue;
        const TString name = entry.mDefault && entry.mShader.isNull() ? TString(kDefaultShaderName)
                                                                       : TFnDependencyNode(entry.mShader).name();
        const int index = DefineMaterial(name.asChar(), entry.mShader, mesh);
        bool withTexture = false;
        for (int j = 0; j < mapping.mLayerIndices.GetCount() && static_cast<unsigned>(j) < mapping.mTextureObjects.length(); ++j)
            withTexture = withTexture || !mapping.mTextureObjects[static_cast<unsigned>(j)].isNull();
        if (withTexture)
            if (KZeqMaterial* material = mesh->GetMaterial(index, 0)) material->SetDiffuse(KZeqColor(1.0, 1.0, 1.0, 1.0));
        mapping.mMaterialIndex = index;
    }
    // One material for all polygons, or one per polygon.
    bool allSame = true;
    for (int f = 1; f < F && allSame; ++f)
        allSame = used[static_cast<std::size_t>(entryOfPolygon[static_cast<std::size_t>(f)])].mMapping->mMaterialIndex ==
                  used[static_cast<std::size_t>(entryOfPolygon[static_cast<std::size_t>(f - 1)])].mMapping->mMaterialIndex;
    if (!allSame)
        for (UsedShader& entry : used) entry.mMapping->mMaterialMappingMode = KZeqLayerElement::eBY_POLYGON;

    for (int f = 0; f < F; ++f) {
        KLayerMapping* mapping = used[static_cast<std::size_t>(entryOfPolygon[static_cast<std::size_t>(f)])].mMapping.get();
        if (mapping->mHasData) FillLayerData(mapping, mesh, textured);
    }
}
