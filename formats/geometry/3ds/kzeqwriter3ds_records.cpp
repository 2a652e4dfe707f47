// Static records of the 3DS writer: the axis conversions, lights and cameras
// at their base pose, and materials with their texture maps (the image files
// copied beside the output).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/kgemath.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"

namespace zeqsdk_400 {

namespace {

constexpr double kDegToRad = 0.017453292519943295;

std::string WithoutPrefix(const char* name) {
    const std::string text(name);
    const std::size_t separator = text.find("::");
    return separator == std::string::npos ? text : text.substr(separator + 2);
}

}  // namespace

void KZeqWriter3DS::ConvTZeqto3DS(double* out, const KZeqVector4& v) {
    out[0] = v[0];
    out[1] = -v[2];
    out[2] = v[1];
}

void KZeqWriter3DS::ConvSZeqto3DS(double* out, const KZeqVector4& v) {
    out[0] = v[0];
    out[1] = v[2];
    out[2] = v[1];
}

void KZeqWriter3DS::ConvRZeqto3DS(double* out, const KZeqVector4& v) {
    const double a = v[0] * kDegToRad, b = v[1] * kDegToRad, c = v[2] * kDegToRad;
    const double cx = std::cos(a), sx = std::sin(a), cy = std::cos(b), sy = std::sin(b), cz = std::cos(c),
                 sz = std::sin(c);
    double m[4][4] = {{cy * cz, cy * sz, -sy, 0},
                      {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy, 0},
                      {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy, 0},
                      {0, 0, 0, 1}};
    double q[4];
    KmRtoQ(q, m);
    const double swapped[4] = {q[0], -q[2], q[1], q[3]};
    double r[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmQtoR(r, swapped);
    // The general extraction: a turn near a quarter turn about the file's Y stays what it is.
    KmRtoVord(out, r, 0);
}

light3ds* KZeqWriter3DS::ConvOmnilightZeqto3DS(KZeqLight* light, const KZeqVector4& t, const char* name) {
    if (!light) return nullptr;
    light3ds* record = nullptr;
    InitLight3ds(&record);
    if (Stop3ds() || !record) return nullptr;
    CopyName3ds(record->name, sizeof(record->name), name);
    double p[3];
    ConvTZeqto3DS(p, t);
    record->position = point3ds{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    KZeqColor colour;
    light->GetDefaultColor(colour);
    record->color = fcolor3ds{static_cast<float>(colour.mRed), static_cast<float>(colour.mGreen),
                              static_cast<float>(colour.mBlue)};
    record->multiplier = static_cast<float>(light->GetDefaultIntensity() / 100.0);
    return record;
}

light3ds* KZeqWriter3DS::ConvSpotlightZeqto3DS(KZeqLight* light, const KZeqVector4& t, const KZeqVector4&,
                                               const char* name) {
    if (!light) return nullptr;
    light3ds* record = nullptr;
    InitSpotlight3ds(&record);
    if (Stop3ds() || !record || !record->spot) {
        ReleaseLight3ds(&record);
        return nullptr;
    }
    light3ds* omni = ConvOmnilightZeqto3DS(light, t, name);
    if (!omni) {
        ReleaseLight3ds(&record);
        return nullptr;
    }
    std::memcpy(record->name, omni->name, sizeof(record->name));
    record->position = omni->position;
    record->color = omni->color;
    record->multiplier = omni->multiplier;
    ReleaseLight3ds(&omni);
    record->spot->hotspot = static_cast<float>(light->GetDefaultConeAngle());
    return record;
}

camera3ds* KZeqWriter3DS::ConvCameraZeqto3DS(KZeqCamera* camera, const KZeqVector4& t, const char* name) {
    if (!camera) return nullptr;
    camera3ds* record = nullptr;
    InitCamera3ds(&record);
    if (Stop3ds() || !record) return nullptr;
    CopyName3ds(record->name, sizeof(record->name), name);
    double p[3];
    ConvTZeqto3DS(p, t);
    record->position = point3ds{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    background3ds* background = nullptr;
    InitBackground3ds(&background);
    if (background) {
        const KZeqColor colour = camera->GetDefaultBackgroundColor();
        background->solid = fcolor3ds{static_cast<float>(colour.mRed), static_cast<float>(colour.mGreen),
                                      static_cast<float>(colour.mBlue)};
        PutBackground3ds(mDatabase, background);
        ReleaseBackground3ds(&background);
    }
    return record;
}

bool KZeqWriter3DS::CopyTextureFile(const char* path) {
    return CopyTextureBeside(path, mReplacement, mTextureCopies);
}

material3ds* KZeqWriter3DS::ConvMaterialZeqto3DS(KZeqMesh* mesh, int materialIndex, int textureIndex,
                                                 int texture2Index) {
    KZeqMaterial* material = mesh ? mesh->GetMaterial(materialIndex, 0) : nullptr;
    const int textures = mesh ? mesh->GetTextureCount(0) : 0;
    const auto TextureAt = [&](int index) {
        return mesh && index >= 0 && index < textures ? mesh->GetTexture(index, 0) : nullptr;
    };
    KZeqTexture* t1 = TextureAt(textureIndex);
    KZeqTexture* t2 = TextureAt(texture2Index);
    const auto Qualifies = [](KZeqTexture* t) {
        return t && t->GetMappingType() == KZeqTexture::eUV && t->GetTextureUse() == KZeqTexture::eSTANDARD;
    };
    if (!Qualifies(t2)) t2 = nullptr;
    if (t1 && !Qualifies(t1)) t1 = t2;
    if (t1 && !*t1->GetFileName()) t1 = nullptr;
    if (t1) CopyTextureFile(t1->GetFileName());
    if (t2 && !*t2->GetFileName()) t2 = nullptr;
    if (t2) CopyTextureFile(t2->GetFileName());

    material3ds* record = nullptr;
    InitMaterial3ds(&record);
    if (Stop3ds() || !record) return nullptr;
    if (material) {
        const KZeqColor ambient = material->GetAmbient(), diffuse = material->GetDiffuse(),
                        specular = material->GetSpecular(), emissive = material->GetEmissive();
        const auto Put = [](float* out, const KZeqColor& c) {
            out[0] = static_cast<float>(c.mRed);
            out[1] = static_cast<float>(c.mGreen);
            out[2] = static_cast<float>(c.mBlue);
        };
        Put(record->ambient, ambient);
        Put(record->diffuse, diffuse);
        Put(record->specular, specular);
        record->shinstrength = static_cast<float>((specular.mRed + specular.mGreen + specular.mBlue) * 0.75 / 3.0);
        record->shininess = static_cast<float>(material->GetShininess() * 0.5);
        record->selfillumpct = static_cast<float>((emissive.mRed + emissive.mGreen + emissive.mBlue) / 3.0);
        record->transparency = static_cast<float>(1.0 - material->GetOpacity());
        record->twosided = 1;
    }
    std::string name;
    if (!t1)
        name = material ? WithoutPrefix(material->GetName()) : std::to_string(mMeshCount) + ".Mat" + std::to_string(materialIndex);
    else if (!t2)
        name = std::to_string(mMeshCount) + ".Mat" + std::to_string(materialIndex) + "Tex" + std::to_string(textureIndex);
    else
        name = std::to_string(mMeshCount) + ".Mat" + std::to_string(materialIndex) + "T" + std::to_string(textureIndex) +
               "T" + std::to_string(texture2Index);
    CopyName3ds(record->name, sizeof(record->name), UniqueMaterialName(name).c_str());

    const auto FillMap = [&](bitmap3ds& map, KZeqTexture* texture, int index) {
        const std::string file = texture->GetFileName();
        const std::string part = ExtractFileName(file.c_str(), true).Buffer();
        std::string mapName;
        if (file.size() <= 11) {
            mapName = file;
        } else if (part.size() <= 12) {
            mapName = part;
        } else {
            mapName = "Tex" + std::to_string(index);
            mMessage += (std::string("Texture name file: \"") + part + "\" is too long.\nChange manually texture name: \"Tex" +
                         std::to_string(index) + "\" in material \"" + record->name + "\" by \"" + file +
                         "\" for proper work\n\n")
                            .c_str();
        }
        CopyName3ds(map.name, sizeof(map.name), mapName.c_str());
        const double tu = texture->GetTranslationU(), tv = texture->GetTranslationV();
        // A zero scale would divide by zero; such a map is taken as unscaled.
        const double su = texture->GetScaleU() != 0.0 ? texture->GetScaleU() : 1.0;
        const double sv = texture->GetScaleV() != 0.0 ? texture->GetScaleV() : 1.0;
        const double rw = texture->GetRotationW();
        if (rw == 0.0) {
            map.uoffset = static_cast<float>(-tu / su - 0.5 * (1.0 - 1.0 / su));
            map.voffset = static_cast<float>(tv / sv + 0.5 * (1.0 - 1.0 / sv));
        } else {
            const double x0 = (0.5 - tu) / su, y0 = (0.5 - tv) / sv;
            const double a = -rw * kDegToRad;
            const double x1 = x0 * std::cos(a) - y0 * std::sin(a), y1 = x0 * std::sin(a) + y0 * std::cos(a);
            map.uoffset = static_cast<float>(x1 - 0.5);
            map.voffset = static_cast<float>(-(y1 - 0.5));
            map.rotation = static_cast<float>(-rw);
        }
        map.uscale = static_cast<float>(su);
        map.vscale = static_cast<float>(sv);
        map.tiling = texture->GetWrapModeU() == KZeqTexture::eREPEAT ? 1 : 2;
    };
    if (t1) {
        FillMap(record->texture1, t1, textureIndex);
        record->texture1.percent = 1.0f;
    }
    if (t1 && t2) {
        FillMap(record->texture2, t2, texture2Index);
        const double alpha = t2->GetDefaultAlpha();
        record->texture2.percent = static_cast<float>(t2->GetBlendMode() == KZeqTexture::eADDITIVE ? alpha * 0.5 : alpha);
    }
    return record;
}

}  // namespace zeqsdk_400
