#include "plugin/export/klayermapping.h"

KLayerMapping::KLayerMapping(int polygonCount, EMappingMode textureMode, EMappingMode partialTextureMode,
                             EMappingMode materialMode)
    : mTextureMappingMode(textureMode),
      mPartialTextureMappingMode(partialTextureMode),
      mMaterialMappingMode(materialMode),
      mPolygonCount(polygonCount),
      mLayerIndices(16),
      mTextureKeys(16),
      mKeyCounts(16) {}

void KLayerMapping::AddData(int layerIndex, int textureIndex, const TObject& texture) {
    mHasData = true;
    const unsigned int layer = static_cast<unsigned int>(layerIndex);
    if (mLayerIndices.Find(layer) < 0) mLayerIndices.Add(layer);
    const unsigned int key = textureIndex >= 0 ? layer * 1024u + static_cast<unsigned int>(textureIndex)
                                               : static_cast<unsigned int>(textureIndex);
    const int known = mTextureKeys.Find(key);
    if (known >= 0) {
        ++mKeyCounts[known];
        return;
    }
    mTextureKeys.Add(key);
    mKeyCounts.Add(0u);
    mTextureObjects.append(texture);
}

KLayerMapping::EMappingMode KLayerMapping::TextureMappingModeOf(int j) const {
    const bool partial = mHasData && j >= 0 && j < mKeyCounts.GetCount() &&
                         static_cast<unsigned>(j) < mTextureObjects.length() && !mTextureObjects[j].isNull() &&
                         static_cast<long long>(mKeyCounts[j]) < static_cast<long long>(mPolygonCount);
    return partial ? mPartialTextureMappingMode : mTextureMappingMode;
}

int KLayerMapping::TextureIndexOfKey(unsigned int key) {
    const int value = static_cast<int>(key);
    return value >= 1 ? static_cast<int>(key & 1023u) : value;
}
