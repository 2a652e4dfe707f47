// A layer mapping written into a geometry's layer elements: layer 0's material index and the
// texture index of every layer the mapping recorded.
#include <climits>

#include "content/kzeqgeometry.h"
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::FillLayerData(KLayerMapping* mapping, KZeqGeometry* geometry, bool withTextures) {
    if (!mapping || !geometry || !mapping->mHasData) return;
    for (int i = 0; i < mapping->mLayerIndices.GetCount(); ++i) {
        const unsigned int layerIndex = mapping->mLayerIndices[i];
        if (layerIndex > static_cast<unsigned int>(INT_MAX)) continue;
        const int L = static_cast<int>(layerIndex);
        while (geometry->GetLayerCount() <= L)
            if (geometry->CreateLayer() < 0) return;
        KZeqLayer* layer = geometry->GetLayer(L);
        if (!layer) continue;
        if (L == 0) {
            KZeqLayerElementMaterial* materials = layer->GetMaterials();
            if (!materials) {
                materials = new KZeqLayerElementMaterial;
                materials->SetMappingMode(KZeqLayerElement::eNONE);
                materials->SetReferenceMode(KZeqLayerElement::eDIRECT);
                layer->SetMaterials(materials);
            }
            materials->SetMappingMode(mapping->mMaterialMappingMode);
            materials->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
            KArrayTemplate<int>& indices = materials->GetIndexArray();
            if (mapping->mMaterialMappingMode != KZeqLayerElement::eALL_SAME || indices.Find(mapping->mMaterialIndex) < 0)
                indices.Add(mapping->mMaterialIndex);
        }
        // A layer recorded without a key of its own (the no-texture marker met again) has no texture.
        if (!withTextures || i >= mapping->mTextureKeys.GetCount()) continue;
        const int texture = KLayerMapping::TextureIndexOfKey(mapping->mTextureKeys[i]);
        KZeqLayerElementTexture* textures = layer->GetTextures();
        if (!textures) {
            textures = new KZeqLayerElementTexture;
            textures->SetMappingMode(KZeqLayerElement::eNONE);
            textures->SetBlendMode(KZeqLayerElementTexture::eTRANSLUCENT);
            textures->SetAlpha(1.0);
            layer->SetTextures(textures);
        }
        textures->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
        KArrayTemplate<int>& indices = textures->GetIndexArray();
        if (textures->GetMappingMode() == KZeqLayerElement::eBY_POLYGON || indices.GetCount() == 0)
            indices.Add(texture);
        else
            indices[0] = texture;
    }
}
