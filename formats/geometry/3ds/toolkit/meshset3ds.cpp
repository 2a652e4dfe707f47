#include "formats/geometry/3ds/toolkit/meshset3ds.h"

#include <cstdlib>
#include <initializer_list>

#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

namespace {

// Reads one value chunk among the section's children into `field`.
template <typename Data, typename Field>
bool GetValue(chunk3ds* section, std::uint32_t tag, Field& field) {
    chunk3ds* chunk = FindChild3ds(section, tag);
    if (!chunk) return true;
    const auto* data = static_cast<Data*>(ReadChunkData3ds(chunk));
    if (!data) return !Stop3ds();
    field = data->value;
    FreeFileChunkData3ds(chunk);
    return true;
}

// The colour of the first `floats` chunk under `parent`, else of the first `bytes`
// chunk (each byte / 255, as lights and materials read theirs); false when neither.
bool GetColor(chunk3ds* parent, std::uint32_t floats, std::uint32_t bytes, fcolor3ds& color) {
    chunk3ds* chunk = nullptr;
    FindChunk3ds(parent, floats, &chunk);
    if (chunk) {
        if (const auto* c = static_cast<fcolor3ds*>(ReadChunkData3ds(chunk))) {
            color = *c;
            FreeFileChunkData3ds(chunk);
            return true;
        }
        return false;
    }
    FindChunk3ds(parent, bytes, &chunk);
    if (!chunk) return false;
    const auto* c = static_cast<color24data3ds*>(ReadChunkData3ds(chunk));
    if (!c) return false;
    color = {c->r / 255.0f, c->g / 255.0f, c->b / 255.0f};
    FreeFileChunkData3ds(chunk);
    return true;
}

template <typename Data>
Data* Replace(chunk3ds* section, std::uint32_t tag) {
    chunk3ds* chunk = nullptr;
    ReplaceOrAddChild3ds(section, tag, &chunk);
    return chunk ? static_cast<Data*>(InitChunkData3ds(chunk)) : nullptr;
}

}  // namespace

void InitMeshSet3ds(meshset3ds** settings) {
    if (!settings) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*settings) {
        *settings = static_cast<meshset3ds*>(std::calloc(1, sizeof(meshset3ds)));
        if (!*settings) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    meshset3ds& s = **settings;
    s.masterscale = 1.0f;
    s.shadowbias = 1.0f;
    s.raytracebias = 1.0f;
    s.shadowmapsize = 512;
    s.shadowfilter = 3.0f;
    s.ambientlight = {0.39216f, 0.39216f, 0.39216f};
    s.origin = DefPoint3ds;
}

void ReleaseMeshSet3ds(meshset3ds** settings) {
    if (!settings) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    std::free(*settings);
    *settings = nullptr;
}

void GetMeshSet3ds(database3ds* db, meshset3ds** settings) {
    if (!db || !settings) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* section = nullptr;
    if (db->top) FindChunk3ds(db->top, 0x3D3D, &section);
    if (!section) return;
    InitMeshSet3ds(settings);
    if (Stop3ds()) return;
    meshset3ds& s = **settings;
    if (!GetValue<floatdata3ds>(section, 0x0100, s.masterscale) || !GetValue<floatdata3ds>(section, 0x1400, s.shadowbias) ||
        !GetValue<floatdata3ds>(section, 0x1460, s.raytracebias) ||
        !GetValue<shortdata3ds>(section, 0x1420, s.shadowmapsize) ||
        !GetValue<floatdata3ds>(section, 0x1450, s.shadowfilter))
        return;
    if (chunk3ds* ambient = FindChild3ds(section, 0x2100)) {
        GetColor(ambient, 0x0010, 0x0011, s.ambientlight);
        if (Stop3ds()) return;
        GetColor(ambient, 0x0013, 0x0012, s.ambientlight);  // a linear colour wins
        if (Stop3ds()) return;
    }
    if (chunk3ds* origin = FindChild3ds(section, 0x1500)) {
        const auto* p = static_cast<point3ds*>(ReadChunkData3ds(origin));
        if (!p) return;
        s.origin = *p;
        FreeFileChunkData3ds(origin);
    }
}

void PutMeshSet3ds(database3ds* db, const meshset3ds* settings) {
    if (!settings) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* section = FindOrAddSection3ds(db, 0x3D3D);
    if (!section) return;
    Replace<longdata3ds>(section, 0x3D3E);
    if (auto* d = Replace<floatdata3ds>(section, 0x0100)) d->value = settings->masterscale;
    if (auto* d = Replace<floatdata3ds>(section, 0x1400)) d->value = settings->shadowbias;
    if (auto* d = Replace<shortdata3ds>(section, 0x1420)) d->value = settings->shadowmapsize;
    if (auto* d = Replace<floatdata3ds>(section, 0x1450)) d->value = settings->shadowfilter;
    if (auto* d = Replace<floatdata3ds>(section, 0x1460)) d->value = settings->raytracebias;
    chunk3ds* ambient = nullptr;
    ReplaceOrAddChild3ds(section, 0x2100, &ambient);
    if (ambient) {
        for (std::uint32_t tag : {0x0010u, 0x0013u}) {
            chunk3ds* color = nullptr;
            if (auto* c = static_cast<fcolor3ds*>(InitChunkAndData3ds(&color, tag))) *c = settings->ambientlight;
            if (color) AddChildOrdered3ds(ambient, color);
        }
    }
    if (auto* p = Replace<point3ds>(section, 0x1500)) *p = settings->origin;
}

void CopyMeshSet3ds(database3ds* dst, database3ds* src) {
    if (!dst || !src) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // Into its own database each chunk would be deleted before it is copied.
    if (!CheckDatabase3ds(dst, true, true, false) || !CheckDatabase3ds(src, true, true, false) || dst == src) return;
    chunk3ds* from = FindChild3ds(src->top, 0x3D3D);
    if (!from) return;
    chunk3ds* to = FindOrAddSection3ds(dst, 0x3D3D);
    if (!to) return;
    for (chunk3ds* c = from->children; c; c = c->sibling) {
        switch (c->tag) {
            case 0x0100:
            case 0x1400:
            case 0x1420:
            case 0x1450:
            case 0x1460:
            case 0x1500:
            case 0x3D3E: {
                if (chunk3ds* old = FindChild3ds(to, c->tag)) DeleteChunk3ds(old);
                chunk3ds* copy = nullptr;
                CopyChunk3ds(c, &copy);
                if (Stop3ds()) {
                    ReleaseDetachedChunk3ds(&copy);
                    return;
                }
                AddChildOrdered3ds(to, copy);
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace zeqsdk_400
