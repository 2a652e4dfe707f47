#include "formats/geometry/3ds/toolkit/background3ds.h"

#include <cstdlib>
#include <initializer_list>

#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

namespace {

constexpr std::uint32_t kUseTags[3] = {0x1101, 0x1201, 0x1301};  // bitmap, solid, gradient: the order of precedence

bool ReadColor(chunk3ds* chunk, fcolor3ds& color) {
    const auto* c = static_cast<fcolor3ds*>(ReadChunkData3ds(chunk));
    if (!c) return false;
    color = *c;
    FreeFileChunkData3ds(chunk);
    return true;
}

// The first `tag` under `parent` and its following siblings of that tag fill the
// colours in turn, as many as there are.
bool ReadColors(chunk3ds* parent, std::uint32_t tag, fcolor3ds* const* colors, int n) {
    chunk3ds* chunk = nullptr;
    FindChunk3ds(parent, tag, &chunk);
    for (int i = 0; i < n && chunk; ++i, FindNextChunk3ds(chunk->sibling, tag, &chunk))
        if (!ReadColor(chunk, *colors[i])) return false;
    return true;
}

chunk3ds* AddColor(chunk3ds* parent, std::uint32_t tag, const fcolor3ds& color) {
    chunk3ds* chunk = nullptr;
    auto* c = static_cast<fcolor3ds*>(InitChunkAndData3ds(&chunk, tag));
    if (c) *c = color;
    if (chunk) AddChildOrdered3ds(parent, chunk);
    return chunk;
}

}  // namespace

void InitBackground3ds(background3ds** bg) {
    if (!bg) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*bg) {
        *bg = static_cast<background3ds*>(std::calloc(1, sizeof(background3ds)));
        if (!*bg) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    background3ds& b = **bg;
    std::free(b.bitmapname);  // a record made here holds its own name or none
    b.bitmapname = nullptr;
    b.solid = {0, 0, 0};
    b.gradientpercent = 0.5f;
    b.gradienttop = b.gradientmiddle = b.gradientbottom = {0, 0, 0};
    b.used = 0;
}

void ReleaseBackground3ds(background3ds** bg) {
    if (!bg || !*bg) return;
    std::free((*bg)->bitmapname);
    std::free(*bg);
    *bg = nullptr;
}

void GetBackground3ds(database3ds* db, background3ds** bg) {
    if (!db || !bg) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* section = nullptr;
    if (db->top) FindChunk3ds(db->top, 0x3D3D, &section);
    if (!section) return;
    InitBackground3ds(bg);
    if (Stop3ds()) return;
    background3ds& b = **bg;
    chunk3ds* chunk = nullptr;
    FindChunk3ds(section, 0x1100, &chunk);
    if (chunk) {
        const auto* name = static_cast<stringdata3ds*>(ReadChunkData3ds(chunk));
        if (!name && Stop3ds()) return;
        b.bitmapname = strdup3ds(name && name->value ? name->value : "");
        FreeFileChunkData3ds(chunk);
        if (Stop3ds()) return;
    }
    FindChunk3ds(section, 0x1200, &chunk);
    if (chunk) {
        fcolor3ds* solid[] = {&b.solid};
        if (!ReadColors(chunk, 0x0010, solid, 1) || !ReadColors(chunk, 0x0013, solid, 1)) return;
    }
    FindChunk3ds(section, 0x1300, &chunk);
    if (chunk) {
        const auto* middle = static_cast<floatdata3ds*>(ReadChunkData3ds(chunk));
        if (!middle) return;
        b.gradientpercent = middle->value;
        FreeFileChunkData3ds(chunk);
        fcolor3ds* colors[] = {&b.gradienttop, &b.gradientmiddle, &b.gradientbottom};
        if (!ReadColors(chunk, 0x0010, colors, 3) || !ReadColors(chunk, 0x0013, colors, 3)) return;
    }
    const std::uint32_t used[3] = {3, 1, 2};
    for (int i = 0; i < 3; ++i) {
        FindChunk3ds(section, kUseTags[i], &chunk);
        if (chunk) {
            b.used = used[i];
            break;
        }
    }
}

void PutBackground3ds(database3ds* db, const background3ds* bg) {
    if (!bg) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* section = FindOrAddSection3ds(db, 0x3D3D);
    if (!section) return;
    chunk3ds* chunk = nullptr;
    ReplaceOrAddChild3ds(section, 0x1100, &chunk);
    if (auto* name = chunk ? static_cast<stringdata3ds*>(InitChunkData3ds(chunk)) : nullptr)
        name->value = strdup3ds(bg->bitmapname ? bg->bitmapname : "");
    ReplaceOrAddChild3ds(section, 0x1200, &chunk);
    if (chunk) {
        AddColor(chunk, 0x0010, bg->solid);
        AddColor(chunk, 0x0013, bg->solid);
    }
    ReplaceOrAddChild3ds(section, 0x1300, &chunk);
    if (chunk) {
        if (auto* middle = static_cast<floatdata3ds*>(InitChunkData3ds(chunk))) middle->value = bg->gradientpercent;
        for (const fcolor3ds* c : {&bg->gradienttop, &bg->gradientmiddle, &bg->gradientbottom}) {
            AddColor(chunk, 0x0010, *c);
            AddColor(chunk, 0x0013, *c);
        }
    }
    // One use chunk at most: every one there is deleted, the first kept for reuse.
    chunk3ds* use = nullptr;
    for (std::uint32_t tag : kUseTags) {
        chunk3ds* found = nullptr;
        for (FindChunk3ds(section, tag, &found); found; FindChunk3ds(section, tag, &found)) {
            DeleteChunk3ds(found);
            if (!use) use = found;
        }
    }
    if (bg->used == 0) return;
    if (!use) {
        InitChunkAs3ds(&use, 0x1101);
        if (!use) return;
        AddChildOrdered3ds(section, use);
    }
    if (bg->used == 1) use->tag = 0x1201;
    if (bg->used == 2) use->tag = 0x1301;
    if (bg->used == 3) use->tag = 0x1101;
}

void CopyBackground3ds(database3ds* dst, database3ds* src) {
    if (!dst || !src) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // Into its own database each chunk would be deleted before it is copied.
    if (!CheckDatabase3ds(src, true, true, false) || !CheckDatabase3ds(dst, true, true, false) || dst == src) return;
    chunk3ds* from = nullptr;
    FindChunk3ds(src->top, 0x3D3D, &from);
    if (!from) return;
    chunk3ds* to = FindOrAddSection3ds(dst, 0x3D3D);
    if (!to) return;
    for (chunk3ds* c = from->children; c; c = c->sibling) {
        if (c->tag != 0x1100 && c->tag != 0x1101 && c->tag != 0x1200 && c->tag != 0x1201 && c->tag != 0x1300 &&
            c->tag != 0x1301)
            continue;
        if (chunk3ds* old = FindChild3ds(to, c->tag)) DeleteChunk3ds(old);
        chunk3ds* copy = nullptr;
        CopyChunk3ds(c, &copy);
        if (Stop3ds()) {
            ReleaseDetachedChunk3ds(&copy);
            return;
        }
        AddChildOrdered3ds(to, copy);
    }
}

}  // namespace zeqsdk_400
