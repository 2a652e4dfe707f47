#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MATERIAL3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MATERIAL3DS_H

// Materials: a material entry (0xAFFF) in the mesh section, or under a material
// library's top chunk, seen as one plain record with sixteen map slots.

#include <cstdint>

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

struct bitmap3ds {
    char name[13];          // map file name; empty: the slot holds no map
    float percent;          // strength as a fraction
    std::int32_t tiling;    // 1 tile, 2 decal, 3 both
    std::uint8_t ignorealpha;
    std::int32_t filter;    // 0 pyramidal, 1 summed area
    float blur;
    std::uint8_t mirror;
    std::uint8_t negative;
    float uscale, vscale, uoffset, voffset, rotation;
    std::int32_t tinttype;  // 0 none, 1 alpha, 2 tint, 3 alpha tint, 4 RGB tint
    float tint1[3], tint2[3], redtint[3], greentint[3], bluetint[3];
    std::uint32_t datasize;
    std::uint8_t* data;     // procedural data, owned
};

struct material3ds {
    char name[17];
    float ambient[3], diffuse[3], specular[3];
    float shininess, shinstrength, reflectblur, transparency;
    float transfalloff;  // negative: falloff towards the inside
    float selfillumpct, wiresize;
    std::int32_t shading;  // 0 wire frame
    std::uint8_t userefblur, usetransfalloff, twosided, selfillum, additive, usewire, usewireabs, facemap, soften;
    bitmap3ds texture1, texture1mask, texture2, texture2mask, opacitymap, opacitymask, bumpmap, bumpmask,
        specularmap, specularmask, shininessmap, shininessmask, selfillummap, selfillummask;
    bitmap3ds reflectmap;  // only name and percent are written
    std::uint8_t autoreflect, firstframeonly, flatmirror;
    std::int32_t automapsize, autonthframe;
    bitmap3ds reflectmask;
};

void InitBitmap3ds(bitmap3ds* map);
void InitMaterial3ds(material3ds** mat);
void ReleaseMaterial3ds(material3ds** mat);
std::uint32_t GetMaterialCount3ds(database3ds* db);
void GetMaterialNameList3ds(database3ds* db, namelist3ds** list);
void GetMaterialByIndex3ds(database3ds* db, std::uint32_t index, material3ds** mat);
void GetMaterialByName3ds(database3ds* db, const char* name, material3ds** mat);
void ReadMatEntryChunk3ds(chunk3ds* entry, material3ds** mat);
void GetBitmapChunk3ds(chunk3ds* mapchunk, bitmap3ds* map);
float ReadPercentageChunk3ds(chunk3ds* parent);
void PutMaterial3ds(database3ds* db, const material3ds* mat);
void PutBitmapChunk3ds(chunk3ds* mapchunk, const bitmap3ds* map);
void DeleteMaterialByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteMaterialByName3ds(database3ds* db, const char* name);
void CopyMaterialByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyMaterialByName3ds(database3ds* dst, database3ds* src, const char* name);

}  // namespace zeqsdk_400

#endif
