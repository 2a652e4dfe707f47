#include "formats/geometry/3ds/toolkit/chunk3ds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"
#include "formats/geometry/3ds/toolkit/readcache3ds.h"

namespace zeqsdk_400 {

namespace {

constexpr std::uint8_t kNoChildren = 255;

// Counts releases of chunks that may hang in a parent's list: a parent's
// remembered last child is trusted only while no such release happened since.
std::uint32_t gGeneration = 1;

void Forget(chunk3ds* parent) {
    parent->lastchild = nullptr;
    parent->hintgeneration = 0;
    parent->childfloor = kNoChildren;
}

// The last child, from the hint when it can be trusted; a full walk renews the
// hint and the exact floor of the children's values.
chunk3ds* TailOf(chunk3ds* parent) {
    if (!parent->children) {
        Forget(parent);
        return nullptr;
    }
    chunk3ds* tail = parent->lastchild;
    if (!tail || parent->hintgeneration != gGeneration) {
        std::uint8_t floor = kNoChildren;
        for (tail = parent->children;; tail = tail->sibling) {
            const std::uint8_t v = static_cast<std::uint8_t>(GetChunkValue3ds(tail->tag));
            if (v < floor) floor = v;
            if (!tail->sibling) break;
        }
        parent->childfloor = floor;
    }
    while (tail->sibling) tail = tail->sibling;
    parent->lastchild = tail;
    parent->hintgeneration = gGeneration;
    return tail;
}

void Lower(chunk3ds* parent, std::uint32_t tag) {
    const std::uint8_t v = static_cast<std::uint8_t>(GetChunkValue3ds(tag));
    if (v < parent->childfloor) parent->childfloor = v;
}

// Frees a chain without touching the generation: for chains that hang from a node
// being emptied or from nothing at all.
void FreeChain(chunk3ds* chunk) {
    while (chunk) {
        chunk3ds* next = chunk->sibling;
        FreeChunkData3ds(chunk);
        FreeChain(chunk->children);
        std::free(chunk);
        chunk = next;
    }
}

bool CheckedSkip(std::uint64_t at, std::uint64_t end, std::uint64_t n) {
    if (at + n > end) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return false;
    }
    return true;
}

}  // namespace

void InitChunk3ds(chunk3ds** chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* c = static_cast<chunk3ds*>(std::calloc(1, sizeof(chunk3ds)));
    if (!c) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    c->readindex = InvalidFileContext3ds;
    c->writeindex = InvalidFileContext3ds;
    c->childfloor = kNoChildren;
    *chunk = c;
}

void InitChunkAs3ds(chunk3ds** chunk, std::uint32_t tag) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *chunk = nullptr;
    InitChunk3ds(chunk);
    if (*chunk) (*chunk)->tag = tag;
}

void* InitChunkAndData3ds(chunk3ds** chunk, std::uint32_t tag) {
    InitChunkAs3ds(chunk, tag);
    if (!chunk || !*chunk) return nullptr;
    return InitChunkData3ds(*chunk);
}

void ReleaseChunk3ds(chunk3ds** chunk) {
    if (!chunk || !*chunk) return;
    ++gGeneration;
    FreeChain(*chunk);
    *chunk = nullptr;
}

void ReleaseSiblingChunk3ds(chunk3ds** chunk) { ReleaseChunk3ds(chunk); }

void ReleaseDetachedChunk3ds(chunk3ds** chunk) {
    if (!chunk || !*chunk) return;
    FreeChain(*chunk);
    *chunk = nullptr;
}

void DeleteChunk3ds(chunk3ds* chunk) {
    if (!chunk) return;
    FreeChain(chunk->children);
    chunk->children = nullptr;
    Forget(chunk);
    FreeChunkData3ds(chunk);
    chunk->tag = 0;
    chunk->size = 0;
    chunk->position = 0;
    chunk->readindex = InvalidFileContext3ds;
    chunk->writeindex = InvalidFileContext3ds;
}

std::uint32_t CheckChunk3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return 0;
    }
    file3ds* ctx = GetContextByIndex3ds(chunk->readindex);
    if (!ctx || !ctx->stream) {
        PushErrList3ds(ERR_READING_FILE);
        return 0;
    }
    SetContext3ds(ctx);
    if (static_cast<std::uint64_t>(chunk->position) + chunk->size > ctx->filesize) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return 0;
    }
    if (std::fseek(ctx->stream, static_cast<long>(chunk->position), SEEK_SET) != 0) {
        PushErrList3ds(ERR_READING_FILE);
        return 0;
    }
    std::uint32_t sum = 0;
    std::uint8_t buffer[4096];
    std::uint32_t left = chunk->size;
    while (left > 0) {
        const std::uint32_t n = left < sizeof(buffer) ? left : static_cast<std::uint32_t>(sizeof(buffer));
        if (std::fread(buffer, n, 1, ctx->stream) != 1) {
            PushErrList3ds(ERR_READING_FILE);
            return 0;
        }
        // Buffers hold an even count except the last, so words never straddle them.
        for (std::uint32_t i = 0; i < n; i += 2)
            sum += buffer[i] | (i + 1 < n ? static_cast<std::uint32_t>(buffer[i + 1]) << 8 : 0u);
        left -= n;
    }
    return sum;
}

void FindChunk3ds(chunk3ds* start, std::uint32_t tag, chunk3ds** out) {
    if (!out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    if (!start) return;
    if (start->tag == tag) {
        *out = start;
        return;
    }
    for (chunk3ds* child = start->children; child; child = child->sibling) {
        FindChunk3ds(child, tag, out);
        if (*out) return;
    }
}

void FindNextChunk3ds(chunk3ds* start, std::uint32_t tag, chunk3ds** out) {
    if (!out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    for (chunk3ds* c = start; c; c = c->sibling) {
        if (c->tag == tag) {
            *out = c;
            return;
        }
    }
}

void AddChild3ds(chunk3ds* parent, chunk3ds* child) {
    if (!parent || !child) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* tail = TailOf(parent);
    if (tail)
        tail->sibling = child;
    else
        parent->children = child;
    Lower(parent, child->tag);
    parent->lastchild = child;
    parent->hintgeneration = gGeneration;
}

void AddChildOrdered3ds(chunk3ds* parent, chunk3ds* child) {
    if (!parent || !child) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint32_t v = GetChunkValue3ds(child->tag);
    chunk3ds* tail = TailOf(parent);
    // No child of a lower value: the child goes last.
    if (!tail || parent->childfloor >= v) {
        AddChild3ds(parent, child);
        return;
    }
    chunk3ds* previous = nullptr;
    for (chunk3ds* c = parent->children; c; previous = c, c = c->sibling) {
        if (GetChunkValue3ds(c->tag) < v) {
            child->sibling = c;
            if (previous)
                previous->sibling = child;
            else
                parent->children = child;
            Lower(parent, child->tag);
            return;
        }
    }
    AddChild3ds(parent, child);
}

void ReplaceOrAddChild3ds(chunk3ds* parent, std::uint32_t tag, chunk3ds** out) {
    if (!parent || !out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* found = nullptr;
    FindNextChunk3ds(parent->children, tag, &found);
    if (found) {
        DeleteChunk3ds(found);
        found->tag = tag;
        *out = found;
        return;
    }
    *out = nullptr;
    InitChunkAs3ds(out, tag);
    if (!*out) return;
    AddChildOrdered3ds(parent, *out);
}

void CopyChunk3ds(chunk3ds* src, chunk3ds** dst) {
    if (!src || !dst) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *dst = nullptr;
    InitChunk3ds(dst);
    chunk3ds* copy = *dst;
    if (!copy) return;
    copy->tag = src->tag;
    copy->size = src->size;
    copy->position = src->position;
    copy->readindex = src->readindex;
    copy->writeindex = src->writeindex;
    if (src->data) {
        if (src->readindex == InvalidFileContext3ds) {
            CopyChunkData3ds(src, copy);
            if (Stop3ds()) return;
        } else {
            // Data that can be read again from the file moves to the copy.
            copy->data = src->data;
            src->data = nullptr;
        }
    }
    for (chunk3ds* child = src->children; child; child = child->sibling) {
        chunk3ds* childCopy = nullptr;
        CopyChunk3ds(child, &childCopy);
        if (childCopy) AddChild3ds(copy, childCopy);
        if (Stop3ds()) return;
    }
}

void DisconnectChunk3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReadChunkData3ds(chunk);
    if (Stop3ds()) return;
    chunk->readindex = InvalidFileContext3ds;
    chunk->writeindex = InvalidFileContext3ds;
    for (chunk3ds* child = chunk->children; child; child = child->sibling) {
        DisconnectChunk3ds(child);
        if (Stop3ds()) return;
    }
}

bool ChildOffset3ds(file3ds* ctx, const chunk3ds* chunk, std::uint64_t from, std::uint64_t* first) {
    if (chunk->size < 6) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return false;
    }
    const std::uint64_t end = static_cast<std::uint64_t>(chunk->position) + chunk->size;
    std::uint64_t at = from;
    // A string is passed over to its NUL, which must lie inside the chunk.
    auto string = [&]() -> bool {
        for (;;) {
            if (at >= end) {
                PushErrList3ds(ERR_INVALID_CHUNK);
                return false;
            }
            const int c = ByteAt3ds(ctx, at);
            if (c < 0) {
                PushErrList3ds(ERR_READING_FILE);
                return false;
            }
            ++at;
            if (c == 0) return true;
        }
    };
    const toolkit3ds::CatalogEntry* entry = toolkit3ds::FindCatalogEntry(chunk->tag);
    const toolkit3ds::SkipKind skip = entry ? entry->skip : toolkit3ds::SkipKind::Rest;
    std::uint64_t n = 0;
    switch (skip) {
        case toolkit3ds::SkipKind::Bytes:
            n = entry->skipbytes;
            break;
        case toolkit3ds::SkipKind::Rest:
            n = end >= at ? end - at : 0;
            break;
        case toolkit3ds::SkipKind::String:
            if (!string()) return false;
            break;
        case toolkit3ds::SkipKind::StringThen6:
            if (!string()) return false;
            n = 6;
            break;
        case toolkit3ds::SkipKind::KfHeader:
            if (!CheckedSkip(at, end, 2)) return false;
            at += 2;
            if (!string()) return false;
            n = 4;
            break;
        case toolkit3ds::SkipKind::FaceList: {
            std::uint8_t count[2];
            if (!CheckedSkip(at, end, 2)) return false;
            if (!ReadAt3ds(ctx, at, count, 2)) {
                PushErrList3ds(ERR_READING_FILE);
                return false;
            }
            at += 2;
            n = 8ull * (count[0] | (count[1] << 8));
            break;
        }
    }
    if (!CheckedSkip(at, end, n)) return false;
    *first = at + n;
    return true;
}

void SeekChild3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    file3ds* ctx = GetContext3ds();
    const long here = ctx && ctx->stream ? std::ftell(ctx->stream) : -1;
    if (here < 0) {
        PushErrList3ds(ERR_READING_FILE);
        return;
    }
    std::uint64_t first = 0;
    if (!ChildOffset3ds(ctx, chunk, static_cast<std::uint64_t>(here), &first)) return;
    if (std::fseek(ctx->stream, static_cast<long>(first), SEEK_SET) != 0) PushErrList3ds(ERR_READING_FILE);
}

void InitChunkList3ds(chunklist3ds** list, std::uint32_t count) {
    if (!list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*list) {
        *list = static_cast<chunklist3ds*>(std::calloc(1, sizeof(chunklist3ds)));
        if (!*list) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    (*list)->count = 0;
    (*list)->spaces = 0;
    (*list)->list = nullptr;
    if (count == 0) return;
    (*list)->list = static_cast<chunklistentry3ds*>(std::calloc(count, sizeof(chunklistentry3ds)));
    if (!(*list)->list) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    (*list)->count = count;
    (*list)->spaces = count;
}

void ReleaseChunkList3ds(chunklist3ds** list) {
    if (!list || !*list) return;
    for (std::uint32_t i = 0; i < (*list)->count && (*list)->list; ++i) std::free((*list)->list[i].name);
    std::free((*list)->list);
    std::free(*list);
    *list = nullptr;
}

bool AppendChunkList3ds(chunklist3ds* list, const char* name, chunk3ds* chunk) {
    if (!list) return false;
    if (list->count == list->spaces) {
        const std::uint32_t room = list->spaces ? list->spaces * 2 : 8;
        auto* grown = static_cast<chunklistentry3ds*>(std::realloc(list->list, room * sizeof(chunklistentry3ds)));
        if (!grown) {
            PushErrList3ds(ERR_NO_MEM);
            return false;
        }
        list->list = grown;
        list->spaces = room;
    }
    char* copy = strdup3ds(name ? name : "");
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return false;
    }
    list->list[list->count].name = copy;
    list->list[list->count].chunk = chunk;
    ++list->count;
    return true;
}

void InitNameList3ds(namelist3ds** list, std::uint32_t count) {
    if (!list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*list) {
        *list = static_cast<namelist3ds*>(std::calloc(1, sizeof(namelist3ds)));
        if (!*list) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    namelist3ds* l = *list;
    const std::uint32_t spaces = count ? count : 5;
    l->list = static_cast<char**>(std::calloc(spaces, sizeof(char*)));
    if (!l->list) {
        l->count = l->spaces = 0;
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    l->count = count;
    l->spaces = spaces;
}

void AddToNameList3ds(namelist3ds** list, const char* name) {
    if (!list || !*list || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    namelist3ds* l = *list;
    if (l->count >= l->spaces) {
        char** grown = static_cast<char**>(std::calloc(l->spaces + 5, sizeof(char*)));
        if (!grown) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
        if (l->list) std::memcpy(grown, l->list, l->spaces * sizeof(char*));
        std::free(l->list);
        l->list = grown;
        l->spaces += 5;
    }
    char* copy = strdup3ds(name);
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    l->list[l->count++] = copy;
}

void ReleaseNameList3ds(namelist3ds** list) {
    if (!list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*list) return;
    for (std::uint32_t i = 0; i < (*list)->spaces && (*list)->list; ++i) std::free((*list)->list[i]);
    std::free((*list)->list);
    std::free(*list);
    *list = nullptr;
}

char* strdup3ds(const char* s) {
    if (!s) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    const std::size_t length = std::strlen(s);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return nullptr;
    }
    std::memcpy(copy, s, length + 1);
    return copy;
}

}  // namespace zeqsdk_400
