#include "formats/geometry/3ds/toolkit/kfcameralight3ds.h"

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

// Camera, omnilight and spotlight nodes (layouts in kfhelpers3ds.cpp), children in
// the order written:
//   camera 0xB003     id, header, 0xB020 position, 0xB023 field of view, 0xB024 roll
//   target 0xB004     id, header (the camera's name), 0xB020 position
//   omnilight 0xB005  id, header, 0xB020 position, 0xB025 colour
//   spotlight 0xB007  id, header, 0xB020 position, 0xB025 colour, 0xB027 hotspot,
//                     0xB028 falloff, 0xB024 roll; its target 0xB006 as a camera's
// and last the extended data (0x8000) of the node a put replaced.

namespace zeqsdk_400 {

namespace {

// Header fields every motion record starts with.
struct Identity {
    char* name;
    char* parent;
    std::uint16_t* flags1;
    std::uint16_t* flags2;
};

// Reads a node's header into the identity; a node without one is refused (7).
bool ReadHeader(chunk3ds* node, const Identity& id) {
    chunk3ds* header = nullptr;
    FindChunk3ds(node, 0xB010, &header);
    if (!header) {
        PushErrList3ds(ERR_UNFOUND_CHUNK);
        return false;
    }
    const auto* d = static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header));
    if (!d) return false;
    CopyName3ds(id.name, 11, d->name);
    *id.flags1 = d->flags1;
    *id.flags2 = d->flags2;
    kfGetParentName(header, id.parent);
    return true;
}

// Runs `read` on private copies of the node (and target), so that the database's
// chunks keep no data; a failing read leaves an empty record by `empty`.
template <typename R, typename Read, typename Empty>
void GetNode(chunk3ds* node, chunk3ds* target, R* rec, Read read, Empty empty) {
    chunk3ds* copy = nullptr;
    chunk3ds* targetCopy = nullptr;
    CopyChunk3ds(node, &copy);
    if (target && !Stop3ds()) CopyChunk3ds(target, &targetCopy);
    empty(*rec);
    const bool ok = !Stop3ds() && copy && read(copy, targetCopy, *rec);
    ReleaseDetachedChunk3ds(&copy);
    ReleaseDetachedChunk3ds(&targetCopy);
    if (!ok) {
        const std::uint8_t flag = toolkiterr3ds;
        empty(*rec);
        toolkiterr3ds = flag;
    }
}

bool HasHeader(chunk3ds* node) {
    chunk3ds* header = nullptr;
    FindChunk3ds(node, 0xB010, &header);
    if (!header) PushErrList3ds(ERR_UNFOUND_CHUNK);
    return header != nullptr;
}

// The target of a camera or spotlight node: the target node of the same name.
chunk3ds* TargetOf(database3ds* db, chunk3ds* node, std::uint32_t targetTag) {
    chunk3ds* header = FindChild3ds(node, 0xB010);
    const auto* d = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
    if (!d || !d->name) return nullptr;
    const std::string name = d->name;
    FreeFileChunkData3ds(header);
    return FindNodeTagByNameAndType3ds(db, name.c_str(), targetTag);
}

// Starts a node of `tag` under the keyframer section; the old node of the name
// (and of the target tag) gives up its extended data. Null on failure.
chunk3ds* StartNode(database3ds* db, std::uint32_t tag, std::uint32_t targetTag, const char* name, chunk3ds** xdata,
                    chunk3ds** targetXdata, chunk3ds** section) {
    kfGetKfSeg(db->top, section);
    if (!*section) return nullptr;
    if (targetTag) kfExtractXdata(db, name, targetTag, targetXdata);
    kfExtractXdata(db, name, tag, xdata);
    if (Stop3ds()) return nullptr;
    return *section;
}

chunk3ds* PutNode(database3ds* db, chunk3ds* section, std::uint32_t tag, const char* name, std::uint16_t flags1,
                  std::uint16_t flags2, const char* parent) {
    chunk3ds* node = kfPutGenericNode(tag, section);
    if (!node) return nullptr;
    kfPutNodeId(node);
    kfPutNodeHeader(name, static_cast<std::int16_t>(flags1), static_cast<std::int16_t>(flags2), parent, node);
    NoteNodeTagAdded3ds(db, section, node);
    return Stop3ds() ? nullptr : node;
}

// Attaches kept extended data last under `node`, or drops it without one.
void Attach(chunk3ds* node, chunk3ds*& xdata) {
    if (node && xdata) {
        AddChildOrdered3ds(node, xdata);
        xdata = nullptr;
    }
    ReleaseDetachedChunk3ds(&xdata);
}

// ---- Cameras ----

track3ds<point3ds> CamPos(kfcamera3ds& r) { return Track3ds(r.npkeys, r.npflag, r.pkeys, r.pos); }
track3ds<float> CamFov(kfcamera3ds& r) { return Track3ds(r.nfkeys, r.nfflag, r.fkeys, r.fov); }
track3ds<float> CamRoll(kfcamera3ds& r) { return Track3ds(r.nrkeys, r.nrflag, r.rkeys, r.roll); }
track3ds<point3ds> CamTarget(kfcamera3ds& r) { return Track3ds(r.ntkeys, r.ntflag, r.tkeys, r.tpos); }

void EmptyCamera(kfcamera3ds& r) {
    FreeTrack3ds(CamPos(r));
    FreeTrack3ds(CamFov(r));
    FreeTrack3ds(CamRoll(r));
    FreeTrack3ds(CamTarget(r));
    std::memset(&r, 0, sizeof(kfcamera3ds));
}

// ---- Omnilights ----

track3ds<point3ds> OmniPos(kfomni3ds& r) { return Track3ds(r.npkeys, r.npflag, r.pkeys, r.pos); }
track3ds<fcolor3ds> OmniColor(kfomni3ds& r) { return Track3ds(r.nckeys, r.ncflag, r.ckeys, r.color); }

void EmptyOmni(kfomni3ds& r) {
    FreeTrack3ds(OmniPos(r));
    FreeTrack3ds(OmniColor(r));
    std::memset(&r, 0, sizeof(kfomni3ds));
}

// ---- Spotlights ----

track3ds<point3ds> SpotPos(kfspot3ds& r) { return Track3ds(r.npkeys, r.npflag, r.pkeys, r.pos); }
track3ds<fcolor3ds> SpotColor(kfspot3ds& r) { return Track3ds(r.nckeys, r.ncflag, r.ckeys, r.color); }
track3ds<float> SpotHot(kfspot3ds& r) { return Track3ds(r.nhkeys, r.nhflag, r.hkeys, r.hot); }
track3ds<float> SpotFall(kfspot3ds& r) { return Track3ds(r.nfkeys, r.nfflag, r.fkeys, r.fall); }
track3ds<float> SpotRoll(kfspot3ds& r) { return Track3ds(r.nrkeys, r.nrflag, r.rkeys, r.roll); }
track3ds<point3ds> SpotTarget(kfspot3ds& r) { return Track3ds(r.ntkeys, r.ntflag, r.tkeys, r.tpos); }

void EmptySpot(kfspot3ds& r) {
    FreeTrack3ds(SpotPos(r));
    FreeTrack3ds(SpotColor(r));
    FreeTrack3ds(SpotHot(r));
    FreeTrack3ds(SpotFall(r));
    FreeTrack3ds(SpotRoll(r));
    FreeTrack3ds(SpotTarget(r));
    std::memset(&r, 0, sizeof(kfspot3ds));
}

// A target node's parent name, flags and position track into the record's target fields.
template <typename R>
bool ReadTarget(chunk3ds* target, R& r, track3ds<point3ds> track) {
    if (!target) return true;
    char name[11];
    Identity id{name, r.tparent, &r.tflags1, &r.tflags2};
    return ReadHeader(target, id) && TakeTrack3ds(target, 0xB020, track);
}

}  // namespace

// ---- Cameras ----

void InitCameraMotion3ds(kfcamera3ds** rec, std::uint32_t npkeys, std::uint32_t nfkeys, std::uint32_t nrkeys,
                         std::uint32_t ntkeys) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*rec && !(*rec = static_cast<kfcamera3ds*>(std::calloc(1, sizeof(kfcamera3ds))))) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    kfcamera3ds& r = **rec;
    const point3ds origin = DefPoint3ds;
    const float fov = 60.0f, roll = 0.0f;
    if (!AllocTrack3ds(CamPos(r), npkeys, &origin) || !AllocTrack3ds(CamFov(r), nfkeys, &fov) ||
        !AllocTrack3ds(CamRoll(r), nrkeys, &roll))
        return;
    if (ntkeys) {
        r.tflags1 = r.tflags2 = 0;
        AllocTrack3ds(CamTarget(r), ntkeys, &origin);
    }
}

void ReleaseCameraMotion3ds(kfcamera3ds** rec) {
    if (!rec || !*rec) return;
    EmptyCamera(**rec);
    std::free(*rec);
    *rec = nullptr;
}

std::uint32_t GetCameraNodeCount3ds(database3ds* db) { return kfGetGenericNodeCount(db, 0xB003); }
void GetCameraNodeNameList3ds(database3ds* db, namelist3ds** list) { kfGetGenericNodeNameList(db, 0xB003, list); }

void GetCameraMotion3ds(chunk3ds* camera, chunk3ds* target, kfcamera3ds** rec) {
    if (!camera || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!HasHeader(camera)) return;
    if (!*rec) InitCameraMotion3ds(rec, 0, 0, 0, 0);
    if (Stop3ds() || !*rec) return;
    GetNode(camera, target, *rec,
            [](chunk3ds* node, chunk3ds* tnode, kfcamera3ds& r) {
                return ReadHeader(node, Identity{r.name, r.parent, &r.flags1, &r.flags2}) &&
                       TakeTrack3ds(node, 0xB020, CamPos(r)) && TakeTrack3ds(node, 0xB023, CamFov(r)) &&
                       TakeTrack3ds(node, 0xB024, CamRoll(r)) && ReadTarget(tnode, r, CamTarget(r));
            },
            EmptyCamera);
}

void GetCameraMotionByName3ds(database3ds* db, const char* name, kfcamera3ds** rec) {
    if (!name || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, 0xB003);
    if (Stop3ds() || !node) return;
    GetCameraMotion3ds(node, FindNodeTagByNameAndType3ds(db, name, 0xB004), rec);
}

void GetCameraMotionByIndex3ds(database3ds* db, std::uint32_t index, kfcamera3ds** rec) {
    if (!db || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* node = FindNodeTagByIndexAndType3ds(db, index, 0xB003);
    if (Stop3ds() || !node) return;
    GetCameraMotion3ds(node, TargetOf(db, node, 0xB004), rec);
}

void PutCameraMotion3ds(database3ds* db, const kfcamera3ds* rec) {
    if (!db || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->top || db->top->tag != 0x4D4D) {
        PushErrList3ds(ERR_INVALID_DATA);  // cameras go into mesh files only
        return;
    }
    char name[11], parent[22], tparent[22];
    CopyName3ds(name, sizeof(name), rec->name);
    CopyName3ds(parent, sizeof(parent), rec->parent);
    CopyName3ds(tparent, sizeof(tparent), rec->tparent);
    chunk3ds *section = nullptr, *xdata = nullptr, *txdata = nullptr, *target = nullptr;
    if (StartNode(db, 0xB003, 0xB004, name, &xdata, &txdata, &section)) {
        if (rec->ntkeys && rec->tkeys && rec->tpos) {
            target = kfPutTargetTrack(tparent, rec->ntkeys, rec->ntflag, rec->tkeys, rec->tpos, name,
                                      static_cast<std::int16_t>(rec->tflags1), static_cast<std::int16_t>(rec->tflags2),
                                      1, section);
            if (target) NoteNodeTagAdded3ds(db, section, target);
        }
        chunk3ds* node = Stop3ds() ? nullptr : PutNode(db, section, 0xB003, name, rec->flags1, rec->flags2, parent);
        if (node && kfPutTrack3ds(0xB020, rec->npkeys, rec->npflag, rec->pkeys, rec->pos, node) &&
            kfPutTrack3ds(0xB023, rec->nfkeys, rec->nfflag, rec->fkeys, rec->fov, node) &&
            kfPutTrack3ds(0xB024, rec->nrkeys, rec->nrflag, rec->rkeys, rec->roll, node))
            Attach(node, xdata);
    }
    Attach(target, txdata);
    ReleaseDetachedChunk3ds(&xdata);
}

void DeleteCameraMotionByIndex3ds(database3ds* db, std::uint32_t index) {
    DeleteNodeTagByIndexAndType3ds(db, index, 0xB003);
}
void DeleteCameraMotionByName3ds(database3ds* db, const char* name) { DeleteNodeTagByNameAndType3ds(db, name, 0xB003); }
void CopyCameraMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNodeTagByIndexAndType3ds(dst, src, index, 0xB003);
}
void CopyCameraMotionByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNodeTagByNameAndType3ds(dst, src, name, 0xB003);
}

// ---- Omnilights ----

void InitOmnilightMotion3ds(kfomni3ds** rec, std::uint32_t npkeys, std::uint32_t nckeys) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*rec && !(*rec = static_cast<kfomni3ds*>(std::calloc(1, sizeof(kfomni3ds))))) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    const point3ds origin = DefPoint3ds;
    const fcolor3ds white = {1, 1, 1};
    if (AllocTrack3ds(OmniPos(**rec), npkeys, &origin)) AllocTrack3ds(OmniColor(**rec), nckeys, &white);
}

void ReleaseOmnilightMotion3ds(kfomni3ds** rec) {
    if (!rec || !*rec) return;
    EmptyOmni(**rec);
    std::free(*rec);
    *rec = nullptr;
}

std::uint32_t GetOmnilightNodeCount3ds(database3ds* db) { return kfGetGenericNodeCount(db, 0xB005); }
void GetOmnilightNodeNameList3ds(database3ds* db, namelist3ds** list) { kfGetGenericNodeNameList(db, 0xB005, list); }

void GetOmnilightMotion3ds(chunk3ds* omni, kfomni3ds** rec) {
    if (!omni || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!HasHeader(omni)) return;
    if (!*rec) InitOmnilightMotion3ds(rec, 0, 0);
    if (Stop3ds() || !*rec) return;
    GetNode(omni, nullptr, *rec,
            [](chunk3ds* node, chunk3ds*, kfomni3ds& r) {
                return ReadHeader(node, Identity{r.name, r.parent, &r.flags1, &r.flags2}) &&
                       TakeTrack3ds(node, 0xB020, OmniPos(r)) && TakeTrack3ds(node, 0xB025, OmniColor(r));
            },
            EmptyOmni);
}

void GetOmnilightMotionByName3ds(database3ds* db, const char* name, kfomni3ds** rec) {
    if (!db || !name || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, 0xB005);
    if (Stop3ds() || !node) return;
    GetOmnilightMotion3ds(node, rec);
}

void GetOmnilightMotionByIndex3ds(database3ds* db, std::uint32_t index, kfomni3ds** rec) {
    if (!db || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* node = FindNodeTagByIndexAndType3ds(db, index, 0xB005);
    if (Stop3ds() || !node) return;
    GetOmnilightMotion3ds(node, rec);
}

void PutOmnilightMotion3ds(database3ds* db, const kfomni3ds* rec) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    char name[11], parent[22];
    CopyName3ds(name, sizeof(name), rec->name);
    CopyName3ds(parent, sizeof(parent), rec->parent);
    chunk3ds *section = nullptr, *xdata = nullptr;
    if (StartNode(db, 0xB005, 0, name, &xdata, nullptr, &section)) {
        chunk3ds* node = PutNode(db, section, 0xB005, name, rec->flags1, rec->flags2, parent);
        if (node && kfPutTrack3ds(0xB020, rec->npkeys, rec->npflag, rec->pkeys, rec->pos, node) &&
            kfPutTrack3ds(0xB025, rec->nckeys, rec->ncflag, rec->ckeys, rec->color, node))
            Attach(node, xdata);
    }
    ReleaseDetachedChunk3ds(&xdata);
}

void DeleteOmnilightMotionByIndex3ds(database3ds* db, std::uint32_t index) {
    DeleteNodeTagByIndexAndType3ds(db, index, 0xB005);
}
void DeleteOmnilightMotionByName3ds(database3ds* db, const char* name) {
    DeleteNodeTagByNameAndType3ds(db, name, 0xB005);
}
void CopyOmnilightMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNodeTagByIndexAndType3ds(dst, src, index, 0xB005);
}
void CopyOmnilightMotionByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNodeTagByNameAndType3ds(dst, src, name, 0xB005);
}

// ---- Spotlights ----

void InitSpotlightMotion3ds(kfspot3ds** rec, std::uint32_t npkeys, std::uint32_t nckeys, std::uint32_t nhkeys,
                            std::uint32_t nfkeys, std::uint32_t nrkeys, std::uint32_t ntkeys) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*rec && !(*rec = static_cast<kfspot3ds*>(std::calloc(1, sizeof(kfspot3ds))))) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    kfspot3ds& r = **rec;
    const point3ds origin = DefPoint3ds;
    const fcolor3ds black = {0, 0, 0};
    const float angle = 90.0f, roll = 0.0f;
    AllocTrack3ds(SpotPos(r), npkeys, &origin) && AllocTrack3ds(SpotColor(r), nckeys, &black) &&
        AllocTrack3ds(SpotHot(r), nhkeys, &angle) && AllocTrack3ds(SpotFall(r), nfkeys, &angle) &&
        AllocTrack3ds(SpotRoll(r), nrkeys, &roll) && AllocTrack3ds(SpotTarget(r), ntkeys, &origin);
}

void ReleaseSpotlightMotion3ds(kfspot3ds** rec) {
    if (!rec || !*rec) return;
    EmptySpot(**rec);
    std::free(*rec);
    *rec = nullptr;
}

std::uint32_t GetSpotlightNodeCount3ds(database3ds* db) { return kfGetGenericNodeCount(db, 0xB007); }
void GetSpotlightNodeNameList3ds(database3ds* db, namelist3ds** list) { kfGetGenericNodeNameList(db, 0xB007, list); }

void GetSpotlightMotion3ds(chunk3ds* spot, chunk3ds* target, kfspot3ds** rec) {
    if (!spot || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!HasHeader(spot)) return;
    if (!*rec) InitSpotlightMotion3ds(rec, 0, 0, 0, 0, 0, 0);
    if (Stop3ds() || !*rec) return;
    GetNode(spot, target, *rec,
            [](chunk3ds* node, chunk3ds* tnode, kfspot3ds& r) {
                return ReadHeader(node, Identity{r.name, r.parent, &r.flags1, &r.flags2}) &&
                       TakeTrack3ds(node, 0xB020, SpotPos(r)) && TakeTrack3ds(node, 0xB025, SpotColor(r)) &&
                       TakeTrack3ds(node, 0xB027, SpotHot(r)) && TakeTrack3ds(node, 0xB028, SpotFall(r)) &&
                       TakeTrack3ds(node, 0xB024, SpotRoll(r)) && ReadTarget(tnode, r, SpotTarget(r));
            },
            EmptySpot);
}

void GetSpotlightMotionByName3ds(database3ds* db, const char* name, kfspot3ds** rec) {
    if (!name || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, 0xB007);
    if (Stop3ds() || !node) return;
    GetSpotlightMotion3ds(node, FindNodeTagByNameAndType3ds(db, name, 0xB006), rec);
}

void GetSpotlightMotionByIndex3ds(database3ds* db, std::uint32_t index, kfspot3ds** rec) {
    if (!db || !rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // Every counted spotlight is got by index, with an empty target track when it has no target.
    chunk3ds* node = FindNodeTagByIndexAndType3ds(db, index, 0xB007);
    if (Stop3ds() || !node) return;
    GetSpotlightMotion3ds(node, TargetOf(db, node, 0xB006), rec);
}

void PutSpotlightMotion3ds(database3ds* db, const kfspot3ds* rec) {
    if (!rec) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    char name[11], parent[22], tparent[22];
    CopyName3ds(name, sizeof(name), rec->name);
    CopyName3ds(parent, sizeof(parent), rec->parent);
    CopyName3ds(tparent, sizeof(tparent), rec->tparent);
    chunk3ds *section = nullptr, *xdata = nullptr, *txdata = nullptr, *target = nullptr;
    if (StartNode(db, 0xB007, 0xB006, name, &xdata, &txdata, &section)) {
        if (rec->ntkeys && rec->tkeys && rec->tpos) {
            target = kfPutTargetTrack(tparent, rec->ntkeys, rec->ntflag, rec->tkeys, rec->tpos, name,
                                      static_cast<std::int16_t>(rec->tflags1), static_cast<std::int16_t>(rec->tflags2),
                                      0, section);
            if (target) NoteNodeTagAdded3ds(db, section, target);
        }
        chunk3ds* node = Stop3ds() ? nullptr : PutNode(db, section, 0xB007, name, rec->flags1, rec->flags2, parent);
        if (node && kfPutTrack3ds(0xB020, rec->npkeys, rec->npflag, rec->pkeys, rec->pos, node) &&
            kfPutTrack3ds(0xB025, rec->nckeys, rec->ncflag, rec->ckeys, rec->color, node) &&
            kfPutTrack3ds(0xB027, rec->nhkeys, rec->nhflag, rec->hkeys, rec->hot, node) &&
            kfPutTrack3ds(0xB028, rec->nfkeys, rec->nfflag, rec->fkeys, rec->fall, node) &&
            kfPutTrack3ds(0xB024, rec->nrkeys, rec->nrflag, rec->rkeys, rec->roll, node))
            Attach(node, xdata);
    }
    Attach(target, txdata);
    ReleaseDetachedChunk3ds(&xdata);
}

void DeleteSpotlightMotionByIndex3ds(database3ds* db, std::uint32_t index) {
    DeleteNodeTagByIndexAndType3ds(db, index, 0xB007);
}
void DeleteSpotlightMotionByName3ds(database3ds* db, const char* name) {
    DeleteNodeTagByNameAndType3ds(db, name, 0xB007);
}
void CopySpotlightMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNodeTagByIndexAndType3ds(dst, src, index, 0xB007);
}
void CopySpotlightMotionByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNodeTagByNameAndType3ds(dst, src, name, 0xB007);
}

}  // namespace zeqsdk_400
