#include "formats/geometry/3ds/toolkit/kfhelpers3ds.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/kfnodes3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// A keyframe node in the file:
//
//   0xB002 object (0xB003 camera, 0xB004 its target, 0xB005 omnilight,
//          0xB006 spotlight target, 0xB007 spotlight, 0xB001 ambient)
//     0xB030 node id          i16
//     0xB010 header           name, u16 flags1, u16 flags2, i16 parent id
//     0xB011 instance name, 0xB013 pivot, 0xB014 box, 0xB015 morph smoothing
//     0xB020.. 0xB029 tracks  u16 flags, u32, u32, u32 key count, then per key:
//                             u32 frame, u16 flags, a float per spline bit, the value

namespace zeqsdk_400 {

void kfGetKfSeg(chunk3ds* top, chunk3ds** section) {
    if (!top || !section) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *section = FindChild3ds(top, 0xB000);
    if (!*section) *section = kfPutGenericNode(0xB000, top);
}

chunk3ds* kfPutGenericNode(std::uint32_t tag, chunk3ds* parent) {
    chunk3ds* node = nullptr;
    InitChunkAs3ds(&node, tag);
    if (!node || (Stop3ds())) {
        ReleaseDetachedChunk3ds(&node);
        return nullptr;
    }
    AddChildOrdered3ds(parent, node);
    return node;
}

void kfPutNodeId(chunk3ds* node) {
    auto* id = AddData3ds<shortdata3ds>(node, 0xB030);
    if (id) id->value = -1;
}

void kfPutNodeHeader(const char* name, std::int16_t flags1, std::int16_t flags2, const char* parent, chunk3ds* node) {
    chunk3ds* header = nullptr;
    auto* d = AddData3ds<nodeheaderdata3ds>(node, 0xB010, &header);
    if (!d) return;
    d->name = strdup3ds(name ? name : "");
    d->flags1 = static_cast<std::uint16_t>(flags1);
    d->flags2 = static_cast<std::uint16_t>(flags2);
    d->parentindex = -1;
    kfAddParentName(header, parent);
}

bool kfPutTrack3ds(std::uint32_t tag, std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys,
                   const void* values, chunk3ds* node) {
    const std::size_t size = TrackValueSize3ds(tag);
    if (count == 0 || !keys || (size && !values)) return true;
    auto* track = AddData3ds<trackdata3ds>(node, tag);
    if (!track) return false;
    track->header.flags = flags;
    track->header.nu1 = track->header.nu2 = 0;
    track->header.keycount = count;
    if (!CopyArray3ds(track->keys, keys, count)) return false;
    if (size) {
        auto* copy = static_cast<std::uint8_t*>(std::malloc(count * size));
        if (!copy) {
            PushErrList3ds(ERR_NO_MEM);
            return false;
        }
        std::memcpy(copy, values, count * size);
        track->values = copy;
    }
    return true;
}

void kfPutPosTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const point3ds* values,
                   chunk3ds* node) {
    kfPutTrack3ds(0xB020, count, flags, keys, values, node);
}

void kfPutColorTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const fcolor3ds* values,
                     chunk3ds* node) {
    kfPutTrack3ds(0xB025, count, flags, keys, values, node);
}

void kfPutRollTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const float* values,
                    chunk3ds* node) {
    kfPutTrack3ds(0xB024, count, flags, keys, values, node);
}

chunk3ds* kfPutTargetTrack(const char* parent, std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys,
                           const point3ds* values, const char* name, std::int16_t flags1, std::int16_t flags2,
                           std::int32_t camera, chunk3ds* section) {
    chunk3ds* node = kfPutGenericNode(camera ? 0xB004 : 0xB006, section);
    if (!node) return nullptr;
    kfPutNodeId(node);
    kfPutNodeHeader(name, flags1, flags2, parent, node);
    kfPutPosTrack(count, flags, keys, values, node);
    return node;
}

void kfFindNamedAndTaggedChunk(database3ds* db, const char* name, std::uint32_t tag, chunk3ds** node) {
    if (!db || !name || !node) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *node = nullptr;
    chunk3ds* section = nullptr;
    if (db->top) FindChunk3ds(db->top, 0xB000, &section);
    chunk3ds* candidate = nullptr;
    if (section) FindChunk3ds(section, tag, &candidate);
    for (; candidate; FindNextChunk3ds(candidate->sibling, tag, &candidate)) {
        chunk3ds* header = FindChild3ds(candidate, 0xB010);
        const auto* d = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
        const bool match = d && d->name && std::strcmp(d->name, name) == 0;
        if (header) FreeFileChunkData3ds(header);
        if (Stop3ds()) return;
        if (match) {
            *node = candidate;
            return;
        }
    }
}

void kfExtractXdata(database3ds* db, const char* name, std::uint32_t tag, chunk3ds** xdata) {
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, tag);
    if (!node) return;
    chunk3ds* found = nullptr;
    FindChunk3ds(node, 0x8000, &found);
    if (found && xdata) {
        ReleaseDetachedChunk3ds(xdata);
        CopyChunk3ds(found, xdata);
    }
    DeleteChunk3ds(node);
    MakeNodeTagListDirty3ds(db);
}

std::uint32_t kfGetGenericNodeCount(database3ds* db, std::uint32_t tag) { return CountNodeTags3ds(db, tag); }

void kfGetGenericNodeNameList(database3ds* db, std::uint32_t tag, namelist3ds** list) {
    if (!db || !list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint32_t count = CountNodeTags3ds(db, tag);
    if (Stop3ds()) return;
    InitNameList3ds(list, count);
    if (Stop3ds()) return;
    for (std::uint32_t i = 0, at = 0; db->nodes && i < db->nodes->count && at < count; ++i)
        if (db->nodes->list[i].chunk->tag == tag) (*list)->list[at++] = strdup3ds(db->nodes->list[i].name);
}

chunk3ds* kfAddGenericNodeXData(database3ds* db, const char* name, void* a, std::uint32_t tag, void* b) {
    if (!db || !name || !a || !b) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    chunk3ds* node = nullptr;
    kfFindNamedAndTaggedChunk(db, name, tag, &node);
    return node;
}

}  // namespace zeqsdk_400
