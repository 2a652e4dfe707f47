// 3DS materials and their two texture maps to scene materials and textures.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/toolkit/material3ds.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Where the map's centre lands in texture space after its scale, offset and rotation.
void PlaceMap(KZeqTexture& texture, const bitmap3ds& map) {
    const double su = map.uscale, sv = map.vscale, ou = map.uoffset, ov = map.voffset, r = map.rotation;
    const double x0 = -su * (0.5 + ou), y0 = -sv * (0.5 - ov);
    const double t = -r * 0.017453292519943295;
    texture.SetTranslation(x0 * std::cos(t) - y0 * std::sin(t) + 0.5, x0 * std::sin(t) + y0 * std::cos(t) + 0.5);
    if (r != 0.0) texture.SetRotation(0.0, 0.0, -r);
    texture.SetScale(su, sv);
    const KZeqTexture::EWrapMode wrap = map.tiling == 1 ? KZeqTexture::eREPEAT : KZeqTexture::eCLAMP;
    texture.SetWrapMode(wrap, wrap);
}

// The map's file name as a bounded string (the record's field is fixed width).
std::string MapName(const bitmap3ds& map) {
    return std::string(map.name, strnlen(map.name, sizeof(map.name)));
}

}  // namespace

int KZeqReader3DS::FindMaterialEntry(const char* name) const {
    auto found = mMaterialLookup.find(name);
    return found == mMaterialLookup.end() ? -1 : found->second;
}

bool KZeqReader3DS::ImportMaterials() {
    mMaterialLookup.clear();
    for (std::size_t i = 0; i < mMaterialEntries.size(); ++i) {
        MaterialEntry& entry = mMaterialEntries[i];
        const material3ds& record = *entry.mRecord;
        const std::string name(record.name, strnlen(record.name, sizeof(record.name)));
        KZeqMaterial* material = mManager.CreateKZeqMaterial(name.c_str());
        if (!material) return false;
        entry.mMaterial = material;

        const std::string map1 = MapName(record.texture1), map2 = MapName(record.texture2);
        if (mTextureMapping && !map1.empty()) {
            const std::string index = std::to_string(i);
            const auto MakeTexture = [&](const std::string& file, const std::string& unique) -> KZeqTexture* {
                const std::string textureName = mManager.FindKZeqTexture(file.c_str()) ? unique : file;
                KZeqTexture* texture = mManager.CreateKZeqTexture(textureName.c_str());
                if (texture) {
                    // Found beside the 3DS file, whatever the working folder.
                    texture->SetFileName(KResolvePath(mFolder.Buffer(), file.c_str()).Buffer());
                    texture->SetRelativeFileName(file.c_str());
                } else {
                    mMessage += (std::string("Unable to load texture file: ") + file + " .\n").c_str();
                }
                return texture;
            };
            entry.mTextures[0] = MakeTexture(map1, map1 + "-" + index);
            if (!map2.empty()) entry.mTextures[1] = MakeTexture(map2, map2 + "-" + index + ".2");
        }
        mMaterialLookup.emplace(name, static_cast<int>(i));

        const auto Colour = [](const float* c, double factor = 1.0) {
            return KZeqColor(c[0] * factor, c[1] * factor, c[2] * factor, 1.0);
        };
        material->SetAmbient(Colour(record.ambient));
        material->SetDiffuse(Colour(record.diffuse));
        material->SetSpecular(Colour(record.specular, record.shinstrength / 0.75));
        material->SetShininess(std::min(2.0 * record.shininess, 1.0));
        material->SetEmissive(Colour(record.diffuse, record.selfillumpct));
        material->SetOpacity(1.0 - record.transparency);

        if (KZeqTexture* texture = entry.mTextures[0]) {
            texture->SetDefaultAlpha(record.texture1.percent);
            texture->SetMaterialUse(record.texture1.percent >= 1.0f ? KZeqTexture::eDEFAULT_MATERIAL
                                                                    : KZeqTexture::eMODEL_MATERIAL);
            texture->SetBlendMode(KZeqTexture::eTRANSLUCENT);
            PlaceMap(*texture, record.texture1);
        }
        if (KZeqTexture* texture = entry.mTextures[1]) {
            texture->SetDefaultAlpha(record.texture2.percent);
            texture->SetBlendMode(KZeqTexture::eTRANSLUCENT);
            PlaceMap(*texture, record.texture2);
        }
    }
    return true;
}

}  // namespace zeqsdk_400
