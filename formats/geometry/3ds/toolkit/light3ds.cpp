#include "formats/geometry/3ds/toolkit/light3ds.h"

#include <cstdlib>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// A light in the file:
//
//   0x4000 named object: name
//     0x4600 light: position (3 x f32)
//       0x0010 colour (f32 r, g, b; 0x0011 u8 r, g, b read too), 0x465A outer range,
//       0x4659 inner range, 0x465B multiplier, 0x4620 off, 0x4625 attenuation,
//       0x4654 excluded object (one each)
//       0x4610 spotlight: target (3 x f32), f32 hotspot, f32 falloff
//         0x4656 roll, 0x4657 aspect, 0x4630 shadowed, 0x4627 ray-traced shadows,
//         0x4658 ray bias, 0x4640 + 0x4641 local shadow (f32 bias, f32 filter,
//         i16 map size), 0x4651 rectangular, 0x4650 show cone, 0x4652 overshoot,
//         0x4653 projector bitmap

namespace zeqsdk_400 {

namespace {

float Float(chunk3ds* c, bool& ok) {
    const auto* d = static_cast<floatdata3ds*>(ReadChunkData3ds(c));
    ok = d != nullptr;
    return d ? d->value : 0.0f;
}

bool ReadSpot(chunk3ds* chunk, spotlight3ds* s) {
    const auto* d = static_cast<spotlightdata3ds*>(ReadChunkData3ds(chunk));
    if (!d) return false;
    s->target = d->target;
    s->hotspot = d->hotspot;
    s->falloff = d->falloff;
    bool ok = true;
    for (chunk3ds* c = chunk->children; c && ok; c = c->sibling) {
        switch (c->tag) {
            case 0x4627: s->shadowtype = 1; break;
            case 0x4630:
            case 0x4640: s->shadowed = 1; break;
            case 0x4641: {
                const auto* l = static_cast<localshadowdata3ds*>(ReadChunkData3ds(c));
                ok = l != nullptr;
                if (!l) break;
                s->localshadow = 1;
                s->shadowbias = l->bias;
                s->shadowfilter = l->filter;
                s->shadowmapsize = l->mapsize;
                break;
            }
            case 0x4650: s->showcone = 1; break;
            case 0x4651: s->coneshape = 1; break;
            case 0x4652: s->overshoot = 1; break;
            case 0x4653: {
                const auto* n = static_cast<stringdata3ds*>(ReadChunkData3ds(c));
                ok = n != nullptr;
                if (!n) break;
                s->projector = 1;
                std::free(s->projectorname);
                s->projectorname = strdup3ds(n->value ? n->value : "");
                ok = s->projectorname != nullptr;
                break;
            }
            case 0x4656: s->roll = Float(c, ok); break;
            case 0x4657: s->aspect = Float(c, ok); break;
            case 0x4658: s->raybias = Float(c, ok); break;
            default: break;
        }
    }
    return ok;
}

bool ReadLight(chunk3ds* object, light3ds* l) {
    const auto* name = static_cast<stringdata3ds*>(ReadChunkData3ds(object));
    if (!name) return false;
    CopyName3ds(l->name, sizeof(l->name), name->value);
    chunk3ds* light = FindChild3ds(object, 0x4600);
    const auto* position = static_cast<point3ds*>(ReadChunkData3ds(light));
    if (!position) return false;
    l->position = *position;
    bool ok = true;
    for (chunk3ds* c = light->children; c && ok; c = c->sibling) {
        switch (c->tag) {
            case 0x0010: {
                const auto* color = static_cast<fcolor3ds*>(ReadChunkData3ds(c));
                ok = color != nullptr;
                if (color) l->color = *color;
                break;
            }
            case 0x0011: {
                const auto* bytes = static_cast<color24data3ds*>(ReadChunkData3ds(c));
                ok = bytes != nullptr;
                if (bytes) l->color = {bytes->r / 255.0f, bytes->g / 255.0f, bytes->b / 255.0f};
                break;
            }
            case 0x4620: l->off = 1; break;
            case 0x4625: l->attenuate = 1; break;
            case 0x4654: {
                const auto* n = static_cast<stringdata3ds*>(ReadChunkData3ds(c));
                ok = n != nullptr;
                if (!n) break;
                char excluded[11];
                CopyName3ds(excluded, sizeof(excluded), n->value);
                AddToNameList3ds(&l->exclude, excluded);
                ok = !Stop3ds();
                break;
            }
            case 0x4659: l->innerrange = Float(c, ok); break;
            case 0x465A: l->outerrange = Float(c, ok); break;
            case 0x465B: l->multiplier = Float(c, ok); break;
            case 0x4610:
                if (l->spot) ok = ReadSpot(c, l->spot);
                break;
            default: break;
        }
    }
    return ok;
}

bool AddFloat(chunk3ds* parent, std::uint32_t tag, float value) {
    putTagFloat(parent, tag, &value);
    return !Stop3ds();
}

bool AddFlag(chunk3ds* parent, std::uint32_t tag, bool set) { return !set || AddChunk3ds(parent, tag) != nullptr; }

bool AddName(chunk3ds* parent, std::uint32_t tag, const char* text, std::size_t room) {
    char cut[64];
    CopyName3ds(cut, room < sizeof(cut) ? room : sizeof(cut), text);
    auto* d = AddData3ds<stringdata3ds>(parent, tag);
    return d && (d->value = strdup3ds(room ? cut : text)) != nullptr;
}

void GetByIndex(database3ds* db, std::uint32_t kind, std::uint32_t index, light3ds** light) {
    if (!db || !light) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* object = FindNamedObjectByIndex3ds(db, kind, index);
    if (Stop3ds() || !object) return;
    GetLightEntryChunk3ds(object, light);
}

void GetByName(database3ds* db, const char* name, bool spot, light3ds** light) {
    if (!db || !light || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (Stop3ds() || !object) return;
    chunk3ds* lightChunk = FindChild3ds(object, 0x4600);
    // A light of the other kind is not an error; an object that is no light is.
    if (lightChunk && (FindChild3ds(lightChunk, 0x4610) != nullptr) != spot) return;
    GetLightEntryChunk3ds(object, light);
}

}  // namespace

void InitLight3ds(light3ds** light) {
    if (!light) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*light) {
        *light = static_cast<light3ds*>(std::calloc(1, sizeof(light3ds)));
        if (!*light) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    light3ds& l = **light;
    spotlight3ds* spot = l.spot;  // an old spot part stays, as with the record's earlier use
    ReleaseNameList3ds(&l.exclude);
    l = light3ds{};
    l.spot = spot;
    l.color = {0.70885199f, 0.70885199f, 0.70885199f};
    l.multiplier = 1.0f;
    l.innerrange = 10.0f;
    l.outerrange = 100.0f;
    InitNameList3ds(&l.exclude, 0);
}

void InitSpotlight3ds(light3ds** light) {
    InitLight3ds(light);
    if (Stop3ds() || !light || !*light) return;
    light3ds& l = **light;
    if (l.spot) {
        std::free(l.spot->projectorname);
        std::free(l.spot);
    }
    l.spot = static_cast<spotlight3ds*>(std::calloc(1, sizeof(spotlight3ds)));
    if (!l.spot) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    spotlight3ds& s = *l.spot;
    s.target = {1, 1, 1};
    s.hotspot = 44.0f;
    s.falloff = 45.0f;
    s.aspect = 1.0f;
    s.shadowbias = 1.0f;
    s.shadowfilter = 3.0f;
    s.shadowmapsize = 512;
    s.raybias = 1.0f;
}

void ReleaseLight3ds(light3ds** light) {
    if (!light || !*light) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReleaseNameList3ds(&(*light)->exclude);
    if ((*light)->spot) std::free((*light)->spot->projectorname);
    std::free((*light)->spot);
    std::free(*light);
    *light = nullptr;
}

std::uint32_t GetOmnilightCount3ds(database3ds* db) { return CountNamedObjects3ds(db, OmnilightKind3ds); }
std::uint32_t GetSpotlightCount3ds(database3ds* db) { return CountNamedObjects3ds(db, 0x4610); }
void GetOmnilightNameList3ds(database3ds* db, namelist3ds** list) { GetObjectNameList3ds(db, OmnilightKind3ds, list); }
void GetSpotlightNameList3ds(database3ds* db, namelist3ds** list) { GetObjectNameList3ds(db, 0x4610, list); }
void GetOmnilightByIndex3ds(database3ds* db, std::uint32_t index, light3ds** light) {
    GetByIndex(db, OmnilightKind3ds, index, light);
}
void GetSpotlightByIndex3ds(database3ds* db, std::uint32_t index, light3ds** light) {
    GetByIndex(db, 0x4610, index, light);
}
void GetOmnilightByName3ds(database3ds* db, const char* name, light3ds** light) { GetByName(db, name, false, light); }
void GetSpotlightByName3ds(database3ds* db, const char* name, light3ds** light) { GetByName(db, name, true, light); }

void GetLightEntryChunk3ds(chunk3ds* object, light3ds** light) {
    if (!object || !light) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* lightChunk = FindChild3ds(object, 0x4600);
    if (object->tag != 0x4000 || !lightChunk) {
        PushErrList3ds(ERR_WRONG_OBJECT);
        return;
    }
    if (FindChild3ds(lightChunk, 0x4610))
        InitSpotlight3ds(light);
    else
        InitLight3ds(light);
    if (Stop3ds() || !*light) return;
    chunk3ds* copy = nullptr;
    CopyChunk3ds(object, &copy);
    const bool ok = !Stop3ds() && copy && ReadLight(copy, *light);
    ReleaseDetachedChunk3ds(&copy);
    if (!ok) {
        const std::uint8_t flag = toolkiterr3ds;
        if ((*light)->spot)
            InitSpotlight3ds(light);
        else
            InitLight3ds(light);
        toolkiterr3ds = flag;
    }
}

void PutOmnilight3ds(database3ds* db, const light3ds* light) { PutLight3ds(db, light); }
void PutSpotlight3ds(database3ds* db, const light3ds* light) { PutLight3ds(db, light); }

void PutLight3ds(database3ds* db, const light3ds* light) {
    if (!light) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    char name[11];
    CopyName3ds(name, sizeof(name), light->name);
    chunk3ds* object = PutNamedObject3ds(db, name, nullptr);
    chunk3ds* lightChunk = nullptr;
    auto* position = object ? AddData3ds<point3ds>(object, 0x4600, &lightChunk) : nullptr;
    bool ok = position != nullptr;
    if (ok) {
        *position = light->position;
        auto* color = AddData3ds<fcolor3ds>(lightChunk, 0x0010);
        ok = color && ((*color = light->color), true) && AddFloat(lightChunk, 0x465A, light->outerrange) &&
             AddFloat(lightChunk, 0x4659, light->innerrange) && AddFloat(lightChunk, 0x465B, light->multiplier) &&
             AddFlag(lightChunk, 0x4620, light->off == 1) && AddFlag(lightChunk, 0x4625, light->attenuate == 1);
        for (std::uint32_t i = 0; ok && light->exclude && i < light->exclude->count; ++i)
            if (light->exclude->list[i]) ok = AddName(lightChunk, 0x4654, light->exclude->list[i], 11);
    }
    if (ok && light->spot) {
        const spotlight3ds& s = *light->spot;
        chunk3ds* spot = nullptr;
        auto* d = AddData3ds<spotlightdata3ds>(lightChunk, 0x4610, &spot);
        ok = d != nullptr;
        if (d) {
            d->target = s.target;
            d->hotspot = s.hotspot;
            d->falloff = s.falloff;
            ok = AddFloat(spot, 0x4656, s.roll) && (s.aspect == 1.0f || AddFloat(spot, 0x4657, s.aspect)) &&
                 AddFlag(spot, 0x4630, s.shadowed == 1) && AddFlag(spot, 0x4627, s.shadowtype == 1) &&
                 AddFloat(spot, 0x4658, s.raybias);
            if (ok && s.localshadow == 1) {
                ok = AddChunk3ds(spot, 0x4640) != nullptr;
                auto* local = ok ? AddData3ds<localshadowdata3ds>(spot, 0x4641) : nullptr;
                ok = local != nullptr;
                if (local) {
                    local->bias = s.shadowbias;
                    local->filter = s.shadowfilter;
                    local->mapsize = s.shadowmapsize;
                }
            }
            ok = ok && AddFlag(spot, 0x4651, s.coneshape == 1) && AddFlag(spot, 0x4650, s.showcone == 1) &&
                 AddFlag(spot, 0x4652, s.overshoot == 1);
            if (ok && s.projector == 1) ok = AddName(spot, 0x4653, s.projectorname ? s.projectorname : "", 13);
        }
    }
    if (!ok && !toolkiterr3ds) PushErrList3ds(ERR_NO_MEM);
}

void putTagFloat(chunk3ds* parent, std::uint32_t tag, const float* value) {
    if (!parent || !value) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    auto* d = AddData3ds<floatdata3ds>(parent, tag);
    if (d)
        d->value = *value;
    else if (!toolkiterr3ds)
        PushErrList3ds(ERR_NO_MEM);
}

void DeleteOmnilightByIndex3ds(database3ds* db, std::uint32_t index) { DeleteChunkTypeByIndex3ds(db, 0x4600, index); }
void DeleteSpotlightByIndex3ds(database3ds* db, std::uint32_t index) { DeleteChunkTypeByIndex3ds(db, 0x4610, index); }
void DeleteOmnilightByName3ds(database3ds* db, const char* name) { DeleteNamedObjectByName3ds(db, name); }
void DeleteSpotlightByName3ds(database3ds* db, const char* name) { DeleteNamedObjectByName3ds(db, name); }
void CopyOmnilightByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNamedObjectByIndex3ds(dst, src, 0x4600, index);
}
void CopySpotlightByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNamedObjectByIndex3ds(dst, src, 0x4610, index);
}
void CopyOmnilightByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNamedObjectByName3ds(dst, src, name);
}
void CopySpotlightByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNamedObjectByName3ds(dst, src, name);
}

}  // namespace zeqsdk_400
