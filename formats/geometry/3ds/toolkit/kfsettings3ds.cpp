#include "formats/geometry/3ds/toolkit/kfsettings3ds.h"

#include <cstdlib>
#include <initializer_list>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/kfhelpers3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// The settings in the keyframer section (0xB000):
//
//   0xB00A header          i16 revision (5 when written here), file name, i32 length
//   0xB008 active segment  i32 begin, i32 end
//   0xB009 current frame   i32

namespace zeqsdk_400 {

namespace {

chunk3ds* Section(database3ds* db) {
    chunk3ds* section = nullptr;
    kfGetKfSeg(db->top, &section);
    return section;
}

// Keeps a record changed in place in memory: a write drops file-backed data.
void KeepInMemory(chunk3ds* chunk) { chunk->readindex = InvalidFileContext3ds; }

}  // namespace

void InitKeyInfo3ds(kfkeyinfo3ds* info) {
    if (!info) return;
    info->length = 30;
    info->curframe = 0;
}

void InitKfSegment3ds(kfsegment3ds* seg) {
    if (!seg) return;
    seg->use = False3ds;
    seg->begin = 0;
    seg->end = 30;
}

void InitKfSets3ds(kfsets3ds** sets) {
    if (!sets) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*sets) {
        *sets = static_cast<kfsets3ds*>(std::calloc(1, sizeof(kfsets3ds)));
        if (!*sets) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    InitKeyInfo3ds(&(*sets)->anim);
    InitKfSegment3ds(&(*sets)->seg);
}

void ReleaseKfSets3ds(kfsets3ds** sets) {
    if (!sets) return;
    std::free(*sets);
    *sets = nullptr;
}

void GetKfSets3ds(database3ds* db, kfsets3ds** sets) {
    if (!sets) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    InitKfSets3ds(sets);
    if (Stop3ds()) return;
    GetKeyInfo3ds(db, &(*sets)->anim);
    if (Stop3ds()) return;
    GetKfSegment3ds(db, &(*sets)->seg);
}

void PutKfSets3ds(database3ds* db, const kfsets3ds* sets) {
    if (!sets) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    PutKeyInfo3ds(db, &sets->anim);
    if (Stop3ds()) return;
    PutKfSegment3ds(db, &sets->seg);
}

void GetKeyInfo3ds(database3ds* db, kfkeyinfo3ds* info) {
    chunk3ds* section = Section(db);
    if (!section || !info) return;
    if (chunk3ds* header = FindChild3ds(section, 0xB00A)) {
        const auto* d = static_cast<kfheaderdata3ds*>(ReadChunkData3ds(header));
        if (!d) return;
        info->length = d->animlength;
        FreeFileChunkData3ds(header);
    }
    if (chunk3ds* frame = FindChild3ds(section, 0xB009)) {
        const auto* d = static_cast<longdata3ds*>(ReadChunkData3ds(frame));
        if (!d) return;
        info->curframe = d->value;
        FreeFileChunkData3ds(frame);
    }
}

void GetKfSegment3ds(database3ds* db, kfsegment3ds* seg) {
    chunk3ds* section = Section(db);
    if (!section || !seg) return;
    if (chunk3ds* chunk = FindChild3ds(section, 0xB008)) {
        const auto* d = static_cast<kfsegdata3ds*>(ReadChunkData3ds(chunk));
        if (!d) return;
        seg->use = True3ds;
        seg->begin = d->first;
        seg->end = d->last;
        FreeFileChunkData3ds(chunk);
    }
}

void PutKeyInfo3ds(database3ds* db, const kfkeyinfo3ds* info) {
    chunk3ds* section = Section(db);
    if (!section || !info) return;
    chunk3ds* header = nullptr;
    FindChunk3ds(section, 0xB00A, &header);
    if (header) {
        auto* d = static_cast<kfheaderdata3ds*>(ReadChunkData3ds(header));
        if (!d) return;
        d->animlength = info->length;  // an existing header keeps its revision and name
        KeepInMemory(header);
    } else if (auto* d = AddData3ds<kfheaderdata3ds>(section, 0xB00A)) {
        d->revision = 5;
        d->filename = strdup3ds("");
        d->animlength = info->length;
    }
    chunk3ds* frame = nullptr;
    FindChunk3ds(section, 0xB009, &frame);
    if (frame) {
        auto* d = static_cast<longdata3ds*>(ReadChunkData3ds(frame));
        if (!d) return;
        d->value = info->curframe;
        KeepInMemory(frame);
    } else if (auto* d = AddData3ds<longdata3ds>(section, 0xB009)) {
        d->value = info->curframe;
    }
}

void PutKfSegment3ds(database3ds* db, const kfsegment3ds* seg) {
    chunk3ds* section = Section(db);
    if (!section || !seg) return;
    if (!seg->use) {
        if (chunk3ds* old = FindChild3ds(section, 0xB008)) DeleteChunk3ds(old);
        return;
    }
    chunk3ds* chunk = nullptr;
    ReplaceOrAddChild3ds(section, 0xB008, &chunk);
    if (auto* d = chunk ? static_cast<kfsegdata3ds*>(InitChunkData3ds(chunk)) : nullptr) {
        d->first = seg->begin;
        d->last = seg->end;
    }
}

void CopyKfSets3ds(database3ds* dst, database3ds* src) {
    if (!dst || !src) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // Into its own database each chunk would be deleted before it is copied.
    if (!CheckDatabase3ds(src, true, true, false) || !CheckDatabase3ds(dst, true, true, false) || dst == src) return;
    chunk3ds* from = FindChild3ds(src->top, 0xB000);
    if (!from) return;
    chunk3ds* to = Section(dst);
    if (!to) return;
    for (std::uint32_t tag : {0xB00Au, 0xB009u, 0xB008u}) {
        chunk3ds* chunk = FindChild3ds(from, tag);
        if (!chunk) continue;
        if (chunk3ds* old = FindChild3ds(to, tag)) DeleteChunk3ds(old);
        chunk3ds* copy = nullptr;
        CopyChunk3ds(chunk, &copy);
        if (Stop3ds()) {
            ReleaseDetachedChunk3ds(&copy);
            return;
        }
        AddChildOrdered3ds(to, copy);
    }
}

}  // namespace zeqsdk_400
