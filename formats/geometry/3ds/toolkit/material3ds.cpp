#include "formats/geometry/3ds/toolkit/material3ds.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// A material in the file:
//
//   0xAFFF entry
//     0xA000 name
//     0xA010, 0xA020, 0xA030 ambient, diffuse, specular: 0x0011 and 0x0012 (u8 r, g, b)
//     0xA040.. 0xA084 percentages: 0x0030 (i16 percent) or 0x0031 (f32 fraction)
//     0xA087 wire size, 0xA100 shading, flags without data (0xA080.. 0xA250)
//     map slots (0xA200 ..): 0x0030, 0xA300 file name, 0xA351 flag word, scales,
//       offsets, rotation, blur, tints; their procedural data (0xA320 ..)
//     0xA310 automatic reflection: i8, i8, u16 flags, u32 size, u32 frame step

namespace zeqsdk_400 {

namespace {

// The sixteen map slots in the order they are written.
struct Slot {
    bitmap3ds material3ds::*map;
    std::uint32_t tag;
    std::uint32_t proc;  // 0: no procedural data
};
const Slot kSlots[] = {
    {&material3ds::texture1, 0xA200, 0xA320},      {&material3ds::texture1mask, 0xA33E, 0xA32A},
    {&material3ds::texture2, 0xA33A, 0xA321},      {&material3ds::texture2mask, 0xA340, 0xA32C},
    {&material3ds::opacitymap, 0xA210, 0xA322},    {&material3ds::opacitymask, 0xA342, 0xA32E},
    {&material3ds::bumpmap, 0xA230, 0xA324},       {&material3ds::bumpmask, 0xA344, 0xA330},
    {&material3ds::specularmap, 0xA204, 0xA325},   {&material3ds::specularmask, 0xA348, 0xA332},
    {&material3ds::shininessmap, 0xA33C, 0xA326},  {&material3ds::shininessmask, 0xA346, 0xA334},
    {&material3ds::selfillummap, 0xA33D, 0xA328},  {&material3ds::selfillummask, 0xA34A, 0xA336},
    {&material3ds::reflectmap, 0xA220, 0},         {&material3ds::reflectmask, 0xA34C, 0xA338},
};

// Percentage chunks and their fields.
struct Percentage {
    std::uint32_t tag;
    float material3ds::*field;
};
const Percentage kPercentages[] = {{0xA040, &material3ds::shininess},    {0xA041, &material3ds::shinstrength},
                                   {0xA050, &material3ds::transparency}, {0xA052, &material3ds::transfalloff},
                                   {0xA053, &material3ds::reflectblur},  {0xA084, &material3ds::selfillumpct}};

// Flag chunks without data, in the order they are written.
struct Flag {
    std::uint32_t tag;
    std::uint8_t material3ds::*field;
};
const Flag kFlags[] = {{0xA250, &material3ds::userefblur}, {0xA240, &material3ds::usetransfalloff},
                       {0xA080, &material3ds::selfillum},  {0xA083, &material3ds::additive},
                       {0xA085, &material3ds::usewire},    {0xA08E, &material3ds::usewireabs},
                       {0xA088, &material3ds::facemap},    {0xA08C, &material3ds::soften}};

// Truncation forgives float rounding: a byte or percent read as a float and
// scaled back (200 / 255 * 255 = 199.99998) is written as it was read.
constexpr double kTruncationSlack = 1e-4;

// The byte of a colour component and the 16-bit percent of a fraction, clamped to
// what the fields hold (a NaN counts as 0).
std::uint8_t ColorByte(float c) {
    const double v = static_cast<double>(c) * 255.0 + kTruncationSlack;
    if (!(v > 0)) return 0;
    return v >= 255.0 ? 255 : static_cast<std::uint8_t>(v);
}
std::int16_t Percent16(double v) {
    if (std::isnan(v)) return 0;
    v += v < 0 ? -kTruncationSlack : kTruncationSlack;
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<std::int16_t>(v);
}

const Slot* SlotOfMap(std::uint32_t tag) {
    for (const Slot& s : kSlots)
        if (s.tag == tag) return &s;
    return nullptr;
}
const Slot* SlotOfProc(std::uint32_t tag) {
    for (const Slot& s : kSlots)
        if (s.proc && s.proc == tag) return &s;
    return nullptr;
}

void SetColor(float* dst, const color24data3ds* c) {
    dst[0] = c->r / 255.0f;
    dst[1] = c->g / 255.0f;
    dst[2] = c->b / 255.0f;
}

// Examines a private copy of `chunk`; the copy is released after.
template <typename F>
bool OnCopy(chunk3ds* chunk, F examine) {
    chunk3ds* copy = nullptr;
    CopyChunk3ds(chunk, &copy);
    const bool ok = !Stop3ds() && copy && examine(copy);
    ReleaseDetachedChunk3ds(&copy);
    return ok;
}

bool ReadColor(chunk3ds* chunk, float* color) {
    chunk3ds* c = nullptr;
    FindChunk3ds(chunk, 0x0011, &c);
    if (!c) {
        PushErrList3ds(ERR_UNFOUND_CHUNK);
        return !Stop3ds();
    }
    auto* bytes = static_cast<color24data3ds*>(ReadChunkData3ds(c));
    if (!bytes) return false;
    SetColor(color, bytes);
    FindChunk3ds(chunk, 0x0012, &c);
    if (c) {
        bytes = static_cast<color24data3ds*>(ReadChunkData3ds(c));
        if (!bytes) return false;
        SetColor(color, bytes);
    }
    return true;
}

bool ReadChild(chunk3ds* c, material3ds* m) {
    const std::uint32_t tag = c->tag;
    if ((tag & 0xFF00) == 0x8000 || tag == 0xA042) return true;
    for (const Percentage& p : kPercentages) {
        if (p.tag == tag) {
            m->*p.field = ReadPercentageChunk3ds(c);
            return !Stop3ds();
        }
    }
    for (const Flag& f : kFlags) {
        if (f.tag == tag && tag != 0xA085) {
            m->*f.field = 1;
            return true;
        }
    }
    if (const Slot* slot = SlotOfMap(tag)) {
        bitmap3ds& map = m->*slot->map;
        GetBitmapChunk3ds(c, &map);
        if (Stop3ds()) return false;
        if (tag == 0xA230) {
            chunk3ds* amount = nullptr;
            FindChunk3ds(c, 0xA252, &amount);
            if (amount) {
                auto* d = static_cast<shortdata3ds*>(ReadChunkData3ds(amount));
                if (!d) return false;
                map.percent = d->value / 100.0f;
            }
        }
        return true;
    }
    if (const Slot* slot = SlotOfProc(tag)) {
        auto* raw = static_cast<rawdata3ds*>(ReadChunkData3ds(c));
        if (!raw) return !Stop3ds();
        bitmap3ds& map = m->*slot->map;
        std::free(map.data);
        map.datasize = raw->size;
        map.data = static_cast<std::uint8_t*>(raw->data);
        raw->data = nullptr;
        return true;
    }
    void* data = nullptr;
    switch (tag) {
        case 0xA000:
            if (!(data = ReadChunkData3ds(c))) return false;
            CopyName3ds(m->name, sizeof(m->name), static_cast<stringdata3ds*>(data)->value);
            return true;
        case 0xA010:
            return ReadColor(c, m->ambient);
        case 0xA020:
            return ReadColor(c, m->diffuse);
        case 0xA030:
            return ReadColor(c, m->specular);
        case 0xA087:
            if (!(data = ReadChunkData3ds(c))) return false;
            m->wiresize = static_cast<floatdata3ds*>(data)->value;
            return true;
        case 0xA100:
            if (!(data = ReadChunkData3ds(c))) return false;
            m->shading = static_cast<shortdata3ds*>(data)->value;
            return true;
        case 0xA085:
            m->shading = 0;
            return true;
        case 0xA08A:
            m->transfalloff = -m->transfalloff;
            return true;
        case 0xA081:
            m->twosided = 1;
            return true;
        case 0xA310: {
            if (!(data = ReadChunkData3ds(c))) return false;
            const auto* a = static_cast<autoreflectdata3ds*>(data);
            m->autoreflect = 1;
            m->firstframeonly = (a->flags & 0x0009) == 0x0009;
            m->flatmirror = (a->flags & 0x0011) == 0x0011;
            m->automapsize = static_cast<std::int32_t>(a->size);
            m->autonthframe = static_cast<std::int32_t>(a->nthframe);
            return true;
        }
        default:
            PushErrList3ds(ERR_INVALID_CHUNK);
            return !Stop3ds();
    }
}

std::uint16_t MapFlags(const bitmap3ds& map) {
    std::uint16_t flags = 0;
    if (map.tiling == 2 || map.tiling == 3) flags |= 0x0001;
    if (map.tiling == 2) flags |= 0x0010;
    if (map.mirror) flags |= 0x0002;
    if (map.negative) flags |= 0x0008;
    if (map.filter == 1) flags |= 0x0020;
    if (map.tinttype == 1 || map.tinttype == 3) flags |= 0x0040;
    if (map.tinttype == 2 || map.tinttype == 3) flags |= 0x0080;
    if (map.ignorealpha) flags |= 0x0100;
    if (map.tinttype == 4) flags |= 0x0200;
    return flags;
}

bool AddPercent(chunk3ds* parent, std::int16_t value) {
    auto* d = AddData3ds<shortdata3ds>(parent, 0x0030);
    return d && ((d->value = value), true);
}

bool AddColor24(chunk3ds* parent, std::uint32_t tag, const float* color) {
    auto* d = AddData3ds<color24data3ds>(parent, tag);
    if (!d) return false;
    d->r = ColorByte(color[0]);
    d->g = ColorByte(color[1]);
    d->b = ColorByte(color[2]);
    return true;
}

template <typename T, typename V>
bool AddValue(chunk3ds* parent, std::uint32_t tag, V value) {
    auto* d = AddData3ds<T>(parent, tag);
    return d && ((d->value = value), true);
}

bool AddString(chunk3ds* parent, std::uint32_t tag, const char* text) {
    auto* d = AddData3ds<stringdata3ds>(parent, tag);
    return d && (d->value = strdup3ds(text)) != nullptr;
}

}  // namespace

void InitBitmap3ds(bitmap3ds* map) {
    if (!map) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    std::memset(map, 0, sizeof(bitmap3ds));
    map->tiling = 1;
    map->uscale = map->vscale = 1.0f;
    map->tint2[0] = map->tint2[1] = map->tint2[2] = 1.0f;
    map->redtint[0] = map->greentint[1] = map->bluetint[2] = 1.0f;
}

void InitMaterial3ds(material3ds** mat) {
    if (!mat) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*mat) {
        *mat = static_cast<material3ds*>(std::calloc(1, sizeof(material3ds)));
        if (!*mat) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    } else {
        // A record in use gives up its procedural data before it is reset.
        for (const Slot& s : kSlots) std::free(((*mat)->*s.map).data);
    }
    material3ds& m = **mat;
    std::memset(&m, 0, sizeof(material3ds));
    m.wiresize = 1.0f;
    m.shading = 3;
    m.automapsize = 100;
    m.autonthframe = 1;
    for (const Slot& s : kSlots) InitBitmap3ds(&(m.*s.map));
}

void ReleaseMaterial3ds(material3ds** mat) {
    if (!mat || !*mat) return;
    for (const Slot& s : kSlots) std::free(((*mat)->*s.map).data);
    std::free(*mat);
    *mat = nullptr;
}

std::uint32_t GetMaterialCount3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return 0;
    }
    UpdateMatEntryList3ds(db);
    if (Stop3ds() || !db->materials) return 0;
    return db->materials->count;
}

void GetMaterialNameList3ds(database3ds* db, namelist3ds** list) {
    if (!db || !list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint32_t count = GetMaterialCount3ds(db);
    if (Stop3ds()) return;
    InitNameList3ds(list, count);
    if (Stop3ds()) return;
    for (std::uint32_t i = 0; i < count; ++i) (*list)->list[i] = strdup3ds(db->materials->list[i].name);
}

void GetMaterialByIndex3ds(database3ds* db, std::uint32_t index, material3ds** mat) {
    if (!mat) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* entry = FindMatEntryByIndex3ds(db, index);
    if (Stop3ds() || !entry) return;
    ReadMatEntryChunk3ds(entry, mat);
}

void GetMaterialByName3ds(database3ds* db, const char* name, material3ds** mat) {
    if (!mat) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* entry = nullptr;
    FindMatEntry3ds(db, name, &entry);
    if (Stop3ds() || !entry) return;
    ReadMatEntryChunk3ds(entry, mat);
}

void ReadMatEntryChunk3ds(chunk3ds* entry, material3ds** mat) {
    if (!entry || !mat) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (entry->tag != 0xAFFF) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return;
    }
    InitMaterial3ds(mat);
    if (Stop3ds() || !*mat) return;
    for (chunk3ds* c = entry->children; c; c = c->sibling) {
        if (!OnCopy(c, [&](chunk3ds* copy) { return ReadChild(copy, *mat); })) {
            // A failing read leaves a clean record behind.
            const std::uint8_t flag = toolkiterr3ds;
            InitMaterial3ds(mat);
            toolkiterr3ds = flag;
            return;
        }
    }
}

float ReadPercentageChunk3ds(chunk3ds* parent) {
    chunk3ds* c = nullptr;
    FindChunk3ds(parent, 0x0030, &c);
    if (c) {
        const auto* d = static_cast<shortdata3ds*>(ReadChunkData3ds(c));
        return d ? d->value / 100.0f : 0.0f;
    }
    FindChunk3ds(parent, 0x0031, &c);
    if (c) {
        const auto* d = static_cast<floatdata3ds*>(ReadChunkData3ds(c));
        return d ? d->value : 0.0f;
    }
    return 0.0f;
}

void GetBitmapChunk3ds(chunk3ds* mapchunk, bitmap3ds* map) {
    if (!mapchunk || !map) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    for (chunk3ds* c = mapchunk->children; c; c = c->sibling) {
        const bool ok = OnCopy(c, [map](chunk3ds* copy) {
            void* data = nullptr;
            switch (copy->tag) {
                case 0x0030:
                case 0x0031:
                case 0xA300:
                case 0xA351:
                case 0xA353:
                case 0xA354:
                case 0xA356:
                case 0xA358:
                case 0xA35A:
                case 0xA35C:
                case 0xA360:
                case 0xA362:
                case 0xA364:
                case 0xA366:
                case 0xA368:
                    if (!(data = ReadChunkData3ds(copy))) return !Stop3ds();
                    break;
                default:
                    return true;
            }
            auto f = [data] { return static_cast<floatdata3ds*>(data)->value; };
            switch (copy->tag) {
                case 0x0030: map->percent = static_cast<shortdata3ds*>(data)->value / 100.0f; break;
                case 0x0031: map->percent = f(); break;
                case 0xA300: CopyName3ds(map->name, sizeof(map->name), static_cast<stringdata3ds*>(data)->value); break;
                case 0xA351: {
                    const std::uint16_t flags = static_cast<ushortdata3ds*>(data)->value;
                    map->tiling = (flags & 0x0010) ? 2 : (flags & 0x0001) ? 3 : 1;
                    map->mirror = (flags & 0x0002) != 0;
                    map->negative = (flags & 0x0008) != 0;
                    map->filter = (flags & 0x0020) ? 1 : 0;
                    map->ignorealpha = (flags & 0x0100) != 0;
                    map->tinttype = (flags & 0x0080) ? ((flags & 0x0040) ? 3 : 2)
                                    : (flags & 0x0200) ? 4
                                    : (flags & 0x0040) ? 1
                                                       : 0;
                    break;
                }
                case 0xA353: map->blur = f(); break;
                case 0xA354: map->uscale = f(); break;
                case 0xA356: map->vscale = f(); break;
                case 0xA358: map->uoffset = f(); break;
                case 0xA35A: map->voffset = f(); break;
                case 0xA35C: map->rotation = f(); break;
                case 0xA360: SetColor(map->tint1, static_cast<color24data3ds*>(data)); break;
                case 0xA362: SetColor(map->tint2, static_cast<color24data3ds*>(data)); break;
                case 0xA364: SetColor(map->redtint, static_cast<color24data3ds*>(data)); break;
                case 0xA366: SetColor(map->greentint, static_cast<color24data3ds*>(data)); break;
                case 0xA368: SetColor(map->bluetint, static_cast<color24data3ds*>(data)); break;
            }
            return true;
        });
        if (!ok) return;
    }
}

void PutBitmapChunk3ds(chunk3ds* mapchunk, const bitmap3ds* map) {
    if (!mapchunk || !map) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!map->name[0]) return;
    char name[13];
    CopyName3ds(name, sizeof(name), map->name);
    bool ok = AddPercent(mapchunk, Percent16(static_cast<double>(map->percent) * 100.0 + 0.5)) &&
              AddString(mapchunk, 0xA300, name) && AddValue<ushortdata3ds>(mapchunk, 0xA351, MapFlags(*map));
    if (ok && !(map->uscale == 1.0f && map->vscale == 1.0f))
        ok = AddValue<floatdata3ds>(mapchunk, 0xA354, map->uscale) && AddValue<floatdata3ds>(mapchunk, 0xA356, map->vscale);
    if (ok && !(map->uoffset == 0.0f && map->voffset == 0.0f))
        ok = AddValue<floatdata3ds>(mapchunk, 0xA358, map->uoffset) &&
             AddValue<floatdata3ds>(mapchunk, 0xA35A, map->voffset);
    if (ok && !(map->rotation == 0.0f)) ok = AddValue<floatdata3ds>(mapchunk, 0xA35C, map->rotation);
    if (ok && !(map->blur == 0.0f)) ok = AddValue<floatdata3ds>(mapchunk, 0xA353, map->blur);
    if (ok && (map->tinttype == 2 || map->tinttype == 3))
        ok = AddColor24(mapchunk, 0xA360, map->tint1) && AddColor24(mapchunk, 0xA362, map->tint2);
    if (ok && map->tinttype == 4)
        ok = AddColor24(mapchunk, 0xA364, map->redtint) && AddColor24(mapchunk, 0xA366, map->greentint) &&
             AddColor24(mapchunk, 0xA368, map->bluetint);
    if (!ok && !toolkiterr3ds) PushErrList3ds(ERR_NO_MEM);
}

void PutMaterial3ds(database3ds* db, const material3ds* mat) {
    if (!db || !mat) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, true)) return;
    chunk3ds* parent = db->top->tag == 0x3DAA ? db->top : FindOrAddSection3ds(db, 0x3D3D);
    if (!parent) return;
    char name[17];
    CopyName3ds(name, sizeof(name), mat->name);
    chunk3ds* entry = nullptr;
    FindMatEntry3ds(db, name, &entry);
    if (Stop3ds()) return;
    const bool replacing = entry != nullptr;
    if (replacing) {
        DeleteChunk3ds(entry);
        entry->tag = 0xAFFF;
    } else if (!(entry = AddChunk3ds(parent, 0xAFFF))) {
        return;
    }
    bool ok = AddString(entry, 0xA000, name);
    if (!replacing) NoteMatEntryAdded3ds(db, entry);
    const std::pair<std::uint32_t, const float*> colors[] = {
        {0xA010, mat->ambient}, {0xA020, mat->diffuse}, {0xA030, mat->specular}};
    for (const auto& c : colors) {
        chunk3ds* chunk = ok ? AddChunk3ds(entry, c.first) : nullptr;
        ok = chunk && AddColor24(chunk, 0x0011, c.second) && AddColor24(chunk, 0x0012, c.second);
    }
    auto percent = [&](std::uint32_t tag, std::int16_t value) {
        chunk3ds* chunk = ok ? AddChunk3ds(entry, tag) : nullptr;
        ok = chunk && AddPercent(chunk, value);
    };
    percent(0xA040, Percent16(static_cast<double>(mat->shininess) * 100.0));
    percent(0xA041, Percent16(static_cast<double>(mat->shinstrength) * 100.0));
    percent(0xA050, Percent16(static_cast<double>(mat->transparency) * 100.0));
    const double falloff = static_cast<double>(mat->transfalloff) * 100.0 + (mat->transfalloff > 0 ? 0.5 : -0.5);
    percent(0xA052, Percent16(std::fabs(std::trunc(falloff))));
    if (ok && mat->transfalloff < 0) ok = AddChunk3ds(entry, 0xA08A) != nullptr;
    percent(0xA053, Percent16(static_cast<double>(mat->reflectblur) * 100.0));
    ok = ok && AddValue<shortdata3ds>(entry, 0xA100, static_cast<std::int16_t>(mat->shading));
    percent(0xA084, Percent16(static_cast<double>(mat->selfillumpct) * 100.0));
    if (ok && mat->twosided) ok = AddChunk3ds(entry, 0xA081) != nullptr;
    ok = ok && AddValue<floatdata3ds>(entry, 0xA087, mat->wiresize);
    for (const Flag& f : kFlags)
        if (ok && mat->*f.field) ok = AddChunk3ds(entry, f.tag) != nullptr;
    for (const Slot& s : kSlots) {
        const bitmap3ds& map = mat->*s.map;
        if (!ok) break;
        if (s.tag == 0xA220) {
            if (!map.name[0] && !mat->autoreflect) continue;
            chunk3ds* chunk = AddChunk3ds(entry, s.tag);
            char mapName[13];
            CopyName3ds(mapName, sizeof(mapName), map.name);
            ok = chunk && AddPercent(chunk, Percent16(static_cast<double>(map.percent) * 100.0)) &&
                 AddString(chunk, 0xA300, mapName);
            continue;
        }
        if (!map.name[0]) continue;
        chunk3ds* chunk = AddChunk3ds(entry, s.tag);
        ok = chunk != nullptr;
        if (ok) PutBitmapChunk3ds(chunk, &map);
        ok = ok && !Stop3ds();
        if (ok && s.tag == 0xA230)
            ok = AddValue<shortdata3ds>(chunk, 0xA252, Percent16(static_cast<double>(mat->bumpmap.percent) * 100.0));
        if (ok && map.datasize && map.data) {
            auto* raw = AddData3ds<rawdata3ds>(entry, s.proc);
            ok = raw && CopyArray3ds(*reinterpret_cast<std::uint8_t**>(&raw->data), map.data, map.datasize) &&
                 ((raw->size = map.datasize), true);
        }
    }
    if (ok && mat->autoreflect) {
        auto* a = AddData3ds<autoreflectdata3ds>(entry, 0xA310);
        ok = a != nullptr;
        if (a) {
            a->flags = mat->firstframeonly ? 0x0009 : 0x0001;
            if (mat->flatmirror) a->flags |= 0x0011;
            a->size = static_cast<std::uint32_t>(mat->automapsize);
            a->nthframe = static_cast<std::uint32_t>(mat->autonthframe);
        }
    }
    if (!ok && !toolkiterr3ds) PushErrList3ds(ERR_NO_MEM);
}

void DeleteMaterialByIndex3ds(database3ds* db, std::uint32_t index) {
    chunk3ds* entry = FindMatEntryByIndex3ds(db, index);
    if (Stop3ds() || !entry) return;
    DeleteChunk3ds(entry);
    MakeMatEntryListDirty3ds(db);
}

void DeleteMaterialByName3ds(database3ds* db, const char* name) {
    chunk3ds* entry = nullptr;
    FindMatEntry3ds(db, name, &entry);
    if (Stop3ds()) return;
    if (entry) DeleteChunk3ds(entry);
    MakeMatEntryListDirty3ds(db);
}

namespace {

void CopyMaterial(database3ds* dst, chunk3ds* entry) {
    chunk3ds* nameChunk = FindChild3ds(entry, 0xA000);
    const auto* name = nameChunk ? static_cast<stringdata3ds*>(ReadChunkData3ds(nameChunk)) : nullptr;
    if (!name || !name->value) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return;
    }
    const std::string text = name->value;
    chunk3ds* parent = dst->top->tag == 0x3DAA ? dst->top : FindOrAddSection3ds(dst, 0x3D3D);
    if (!parent) return;
    DeleteMaterialByName3ds(dst, text.c_str());
    if (Stop3ds()) return;
    chunk3ds* copy = nullptr;
    CopyChunk3ds(entry, &copy);
    if (Stop3ds()) {
        ReleaseDetachedChunk3ds(&copy);
        return;
    }
    AddChildOrdered3ds(parent, copy);
    MakeMatEntryListDirty3ds(dst);
}

// The checks of a copy (`name` of a copy by name; a copy by index passes none).
bool CopyChecks(database3ds* dst, database3ds* src, const char* name = "") {
    if (!dst || !src || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!dst->top || !src->top) {
        PushErrList3ds(ERR_INVALID_DATABASE);
        return false;
    }
    // Into its own database a material is already there: copying would delete it first.
    return CheckDatabase3ds(src, true, true, true) && CheckDatabase3ds(dst, true, true, true) && dst != src;
}

}  // namespace

void CopyMaterialByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    if (!CopyChecks(dst, src)) return;
    chunk3ds* entry = FindMatEntryByIndex3ds(src, index);
    if (Stop3ds() || !entry) return;
    CopyMaterial(dst, entry);
}

void CopyMaterialByName3ds(database3ds* dst, database3ds* src, const char* name) {
    if (!CopyChecks(dst, src, name)) return;
    chunk3ds* entry = nullptr;
    FindMatEntry3ds(src, name, &entry);
    if (Stop3ds() || !entry) return;
    CopyMaterial(dst, entry);
}

}  // namespace zeqsdk_400
