#ifndef ZEQ_PLUGIN_EXPORT_KLAYERMAPPING_H
#define ZEQ_PLUGIN_EXPORT_KLAYERMAPPING_H

#include "base/karray.h"
#include "content/kzeqlayer.h"
#include "tobject.h"

// What the texture definers found for one shading group of one exported geometry, and the group's
// material, until ZeqTuloExport::FillLayerData writes it into the geometry's layer elements.
// A texture key packs a layer L and a texture index t as L * 1024 + t (t below 1024); a negative
// t is kept as it is (the "no texture" marker -1 stands for no layer). Keys, their counters and
// their host texture objects are aligned position by position.
class KLayerMapping {
public:
    using EMappingMode = zeqsdk_400::KZeqLayerElement::EMappingMode;

    // The polygon count, then the texture, partial texture and material mapping modes.
    KLayerMapping(int polygonCount, EMappingMode textureMode, EMappingMode partialTextureMode,
                  EMappingMode materialMode);

    // Records one texture placement: layer index, texture index (-1: no texture), host texture node.
    void AddData(int layerIndex, int textureIndex, const TObject& texture);

    // The texture mapping mode of entry j: the partial mode when entry j has a host texture that
    // covers fewer polygons than the mapping counts, else the full mode.
    EMappingMode TextureMappingModeOf(int j) const;

    // The texture index a key stands for: its low ten bits when positive, else the key itself.
    static int TextureIndexOfKey(unsigned int key);

    EMappingMode mTextureMappingMode;
    EMappingMode mPartialTextureMappingMode;
    EMappingMode mMaterialMappingMode;
    int mPolygonCount;
    // The surface shader the mapping was made for (null until DefineTextures sets it).
    TObject mShader;
    bool mHasData = false;
    zeqsdk_400::KArrayTemplate<unsigned int> mLayerIndices;
    zeqsdk_400::KArrayTemplate<unsigned int> mTextureKeys;
    zeqsdk_400::KArrayTemplate<unsigned int> mKeyCounts;
    TObjectArray mTextureObjects;
    int mMaterialIndex = -1;
};

#endif
