#include "formats/geometry/3ds/toolkit/kfobject3ds.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/kfhelpers3ds.h"
#include "formats/geometry/3ds/toolkit/kfnodes3ds.h"
#include "formats/geometry/3ds/toolkit/kftrack3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// An object node (layouts in kfhelpers3ds.cpp), children in the order written:
// 0xB030 id, 0xB010 header, 0xB011 instance, 0xB014 box (dummies), 0xB015 morph
// smoothing (flags2 bit 0x1), 0xB013 pivot, 0xB020 position, 0xB021 rotation,
// 0xB022 scale, 0xB026 morph, 0xB029 hide, 0x8000 extended data kept on replace.

namespace zeqsdk_400 {

namespace {

using MorphSlot = char[13];

track3ds<point3ds> Pos(kfmesh3ds& r) { return Track3ds(r.npkeys, r.npflag, r.pkeys, r.pos); }
track3ds<kfrotkey3ds> Rot(kfmesh3ds& r) { return Track3ds(r.nrkeys, r.nrflag, r.rkeys, r.rot); }
track3ds<point3ds> Scale(kfmesh3ds& r) { return Track3ds(r.nskeys, r.nsflag, r.skeys, r.scale); }
track3ds<MorphSlot> Morph(kfmesh3ds& r) { return Track3ds(r.nmkeys, r.nmflag, r.mkeys, r.morph); }

// The hide track has no values; a scratch pointer stands in for them.
struct HideTrack {
    void* none = nullptr;
    track3ds<void> Of(kfmesh3ds& r) { return Track3ds(r.nhkeys, r.nhflag, r.hkeys, none); }
};

void FreeAll(kfmesh3ds& r) {
    FreeTrack3ds(Pos(r));
    FreeTrack3ds(Rot(r));
    FreeTrack3ds(Scale(r));
    FreeTrack3ds(Morph(r));
    HideTrack hide;
    FreeTrack3ds(hide.Of(r));
}

// An empty record: no keys, the fields of a fresh one.
void Empty(kfmesh3ds& r) {
    FreeAll(r);
    std::memset(&r, 0, sizeof(kfmesh3ds));
    r.msangle = 24.0f;
}

bool ReadNode(chunk3ds* node, kfmesh3ds& r) {
    chunk3ds* c = nullptr;
    FindChunk3ds(node, 0xB010, &c);
    const auto* header = static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(c));
    if (!header) return false;
    CopyName3ds(r.name, sizeof(r.name), header->name);
    r.flags1 = header->flags1;
    r.flags2 = header->flags2;
    kfGetParentName(c, r.parent);
    FindChunk3ds(node, 0xB011, &c);
    if (c) {
        const auto* d = static_cast<stringdata3ds*>(ReadChunkData3ds(c));
        if (!d) return false;
        CopyName3ds(r.instance, sizeof(r.instance), d->value);
    }
    FindChunk3ds(node, 0xB013, &c);
    if (c) {
        const auto* d = static_cast<point3ds*>(ReadChunkData3ds(c));
        if (!d) return false;
        r.pivot = *d;
    }
    FindChunk3ds(node, 0xB014, &c);
    if (c) {
        const auto* d = static_cast<boundboxdata3ds*>(ReadChunkData3ds(c));
        if (!d) return false;
        r.bboxmin = d->min;
        r.bboxmax = d->max;
    }
    FindChunk3ds(node, 0xB015, &c);
    r.msangle = 0.0f;  // without the chunk: 0, not the default of a fresh record
    if (c) {
        const auto* d = static_cast<floatdata3ds*>(ReadChunkData3ds(c));
        if (!d) return false;
        r.msangle = d->value;
    }
    HideTrack hide;
    return TakeTrack3ds(node, 0xB020, Pos(r)) && TakeTrack3ds(node, 0xB021, Rot(r)) &&
           TakeTrack3ds(node, 0xB022, Scale(r)) && TakeTrack3ds(node, 0xB026, Morph(r)) &&
           TakeTrack3ds(node, 0xB029, hide.Of(r));
}

}  // namespace

void InitObjectMotion3ds(kfmesh3ds** rec, std::uint32_t npkeys, std::uint32_t nrkeys, std::uint32_t nskeys,
                         std::uint32_t nmkeys, std::uint32_t nhkeys) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*rec) {
        *rec = static_cast<kfmesh3ds*>(std::calloc(1, sizeof(kfmesh3ds)));
        if (!*rec) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
        (*rec)->msangle = 24.0f;
    }
    kfmesh3ds& r = **rec;
    const point3ds origin = DefPoint3ds, unit = {1, 1, 1};
    MorphSlot blank = {' '};
    HideTrack hide;
    if (!AllocTrack3ds(Pos(r), npkeys, &origin) || !AllocTrack3ds(Rot(r), nrkeys, &DefKfRotKey3ds) ||
        !AllocTrack3ds(Scale(r), nskeys, &unit) || !AllocTrack3ds(Morph(r), nmkeys, &blank) ||
        !AllocTrack3ds<void>(hide.Of(r), nhkeys, nullptr))
        return;
}

void ReleaseObjectMotion3ds(kfmesh3ds** rec) {
    if (!rec || !*rec) return;
    FreeAll(**rec);
    std::free(*rec);
    *rec = nullptr;
}

std::uint32_t GetObjectNodeCount3ds(database3ds* db) { return kfGetGenericNodeCount(db, 0xB002); }

void GetObjectNodeNameList3ds(database3ds* db, namelist3ds** list) { kfGetGenericNodeNameList(db, 0xB002, list); }

void GetObjectMotion3ds(chunk3ds* node, kfmesh3ds** rec) {
    if (!node || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (node->tag != 0xB002) {
        PushErrList3ds(ERR_WRONG_OBJECT);
        return;
    }
    chunk3ds* header = nullptr;
    FindChunk3ds(node, 0xB010, &header);
    if (!header) {
        PushErrList3ds(ERR_UNFOUND_CHUNK);  // a node without its header is refused
        return;
    }
    if (!*rec) InitObjectMotion3ds(rec, 0, 0, 0, 0, 0);
    if (Stop3ds() || !*rec) return;
    // The record lets go of what it held, then takes the arrays of a private copy.
    Empty(**rec);
    chunk3ds* copy = nullptr;
    CopyChunk3ds(node, &copy);
    const bool ok = !Stop3ds() && copy && ReadNode(copy, **rec);
    ReleaseDetachedChunk3ds(&copy);
    if (!ok) {
        const std::uint8_t flag = toolkiterr3ds;
        Empty(**rec);
        toolkiterr3ds = flag;
    }
}

void GetObjectMotionByIndex3ds(database3ds* db, std::uint32_t index, kfmesh3ds** rec) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* node = FindNodeTagByIndexAndType3ds(db, index, 0xB002);
    if (Stop3ds() || !node) return;
    GetObjectMotion3ds(node, rec);
}

void GetObjectMotionByName3ds(database3ds* db, const char* name, kfmesh3ds** rec) {
    if (!db || !name || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, 0xB002);
    if (Stop3ds() || !node) return;
    GetObjectMotion3ds(node, rec);
}

void PutObjectMotion3ds(database3ds* db, const kfmesh3ds* rec) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* section = nullptr;
    kfGetKfSeg(db->top, &section);
    if (!section) return;
    char name[11], parent[22], instance[11];
    CopyName3ds(name, sizeof(name), rec->name);
    CopyName3ds(parent, sizeof(parent), rec->parent);
    CopyName3ds(instance, sizeof(instance), rec->instance);
    chunk3ds* xdata = nullptr;
    kfExtractXdata(db, name, 0xB002, &xdata);
    chunk3ds* node = Stop3ds() ? nullptr : kfPutGenericNode(0xB002, section);
    bool ok = node != nullptr;
    if (ok) {
        kfPutNodeId(node);
        kfPutNodeHeader(name, static_cast<std::int16_t>(rec->flags1), static_cast<std::int16_t>(rec->flags2), parent,
                        node);
        if (instance[0]) {
            auto* d = AddData3ds<stringdata3ds>(node, 0xB011);
            ok = d && (d->value = strdup3ds(instance)) != nullptr;
        }
        NoteNodeTagAdded3ds(db, section, node);
        if (ok && std::strcmp(name, DummyName3ds) == 0) {
            auto* box = AddData3ds<boundboxdata3ds>(node, 0xB014);
            ok = box && ((box->min = rec->bboxmin), (box->max = rec->bboxmax), true);
        }
        if (ok && (rec->flags2 & 0x1)) {
            auto* angle = AddData3ds<floatdata3ds>(node, 0xB015);
            ok = angle && ((angle->value = rec->msangle), true);
        }
        if (ok) {
            auto* pivot = AddData3ds<point3ds>(node, 0xB013);
            ok = pivot && ((*pivot = rec->pivot), true);
        }
        ok = ok && !Stop3ds() && kfPutTrack3ds(0xB020, rec->npkeys, rec->npflag, rec->pkeys, rec->pos, node) &&
             kfPutTrack3ds(0xB021, rec->nrkeys, rec->nrflag, rec->rkeys, rec->rot, node) &&
             kfPutTrack3ds(0xB022, rec->nskeys, rec->nsflag, rec->skeys, rec->scale, node) &&
             kfPutTrack3ds(0xB026, rec->nmkeys, rec->nmflag, rec->mkeys, rec->morph, node) &&
             kfPutTrack3ds(0xB029, rec->nhkeys, rec->nhflag, rec->hkeys, nullptr, node);
        if (ok && xdata) {
            AddChildOrdered3ds(node, xdata);
            xdata = nullptr;
        }
    }
    ReleaseDetachedChunk3ds(&xdata);
    if (!ok && !toolkiterr3ds) PushErrList3ds(ERR_NO_MEM);
}

void DeleteObjectMotionByIndex3ds(database3ds* db, std::uint32_t index) {
    DeleteNodeTagByIndexAndType3ds(db, index, 0xB002);
}
void DeleteObjectMotionByName3ds(database3ds* db, const char* name) { DeleteNodeTagByNameAndType3ds(db, name, 0xB002); }
void CopyObjectMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNodeTagByIndexAndType3ds(dst, src, index, 0xB002);
}
void CopyObjectMotionByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNodeTagByNameAndType3ds(dst, src, name, 0xB002);
}

}  // namespace zeqsdk_400
