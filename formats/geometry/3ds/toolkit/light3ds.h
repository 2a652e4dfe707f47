#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_LIGHT3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_LIGHT3DS_H

// Lights: a named object (0x4000) holding a light chunk (0x4600); a spotlight's
// light chunk holds a spotlight chunk (0x4610), every other light is an omnilight.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

struct spotlight3ds {
    point3ds target;
    float hotspot, falloff, roll, aspect;
    std::uint8_t shadowed;
    std::uint32_t shadowtype;  // 0 shadow map, 1 ray-traced
    std::uint8_t localshadow;  // the next three are the light's own
    float shadowbias, shadowfilter;
    std::int16_t shadowmapsize;
    float raybias;
    std::uint32_t coneshape;  // 0 circular, 1 rectangular
    std::uint8_t showcone, overshoot, projector;
    char* projectorname;  // owned
};

struct light3ds {
    char name[11];
    point3ds position;
    fcolor3ds color;
    float multiplier;
    std::uint8_t off, attenuate;
    float innerrange, outerrange;
    namelist3ds* exclude;  // owned: objects this light leaves out
    spotlight3ds* spot;    // owned; null for an omnilight
};

// The kind key of omnilights for the named-object lookups (a light without 0x4610).
constexpr std::uint32_t OmnilightKind3ds = 0x14600;

void InitLight3ds(light3ds** light);
void InitSpotlight3ds(light3ds** light);
void ReleaseLight3ds(light3ds** light);
std::uint32_t GetOmnilightCount3ds(database3ds* db);
std::uint32_t GetSpotlightCount3ds(database3ds* db);
void GetOmnilightNameList3ds(database3ds* db, namelist3ds** list);
void GetSpotlightNameList3ds(database3ds* db, namelist3ds** list);
void GetOmnilightByIndex3ds(database3ds* db, std::uint32_t index, light3ds** light);
void GetSpotlightByIndex3ds(database3ds* db, std::uint32_t index, light3ds** light);
void GetOmnilightByName3ds(database3ds* db, const char* name, light3ds** light);
void GetSpotlightByName3ds(database3ds* db, const char* name, light3ds** light);
void GetLightEntryChunk3ds(chunk3ds* object, light3ds** light);
void PutOmnilight3ds(database3ds* db, const light3ds* light);
void PutSpotlight3ds(database3ds* db, const light3ds* light);
void PutLight3ds(database3ds* db, const light3ds* light);
void DeleteOmnilightByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteSpotlightByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteOmnilightByName3ds(database3ds* db, const char* name);
void DeleteSpotlightByName3ds(database3ds* db, const char* name);
void CopyOmnilightByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopySpotlightByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyOmnilightByName3ds(database3ds* dst, database3ds* src, const char* name);
void CopySpotlightByName3ds(database3ds* dst, database3ds* src, const char* name);
void putTagFloat(chunk3ds* parent, std::uint32_t tag, const float* value);

}  // namespace zeqsdk_400

#endif
