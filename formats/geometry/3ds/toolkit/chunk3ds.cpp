#include "formats/geometry/3ds/toolkit/chunk3ds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/geometry/3ds/toolkit/blockpool3ds.h"
#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"
#include "formats/geometry/3ds/toolkit/readcache3ds.h"

namespace zeqsdk_400 {

namespace {

static_assert(sizeof(void*) != 8 || sizeof(chunk3ds) == 40, "a node takes 40 bytes on 64-bit hosts");

constexpr std::uint8_t kNoChildren = 255;

// Counts releases of chunks that may hang in a parent's list: a parent's
// remembered last child is trusted only while no such release happened since.
std::uint32_t gGeneration = 1;

// Where appending to a parent resumes: its last child and a lower bound of its
// children's write-order values (ordered insertion appends at once above it).
// Kept here for parents with many children, not in every node; a node names its
// slot, and a slot handed on to another parent no longer answers for it.
struct AppendHint {
    chunk3ds* parent;
    chunk3ds* tail;
    std::uint32_t generation;
    std::uint8_t floor;
};
constexpr std::size_t kHintSlots = 1024;  // slot 0 stands for none
constexpr std::size_t kHintFrom = 8;      // shorter lists are walked
AppendHint gHints[kHintSlots];
std::size_t gNextHint = 1;

std::uint8_t ValueOf(const chunk3ds* chunk) { return static_cast<std::uint8_t>(GetChunkValue3ds(chunk->tag)); }

void Forget(chunk3ds* parent) { parent->appendhint = 0; }

// The last child and the floor of the children's values, from the hint when it can
// be trusted (children appended by others since are passed over and counted in),
// else by walking the list; `walked` counts the nodes visited.
chunk3ds* TailOf(chunk3ds* parent, std::uint8_t* floor, std::size_t* walked) {
    *walked = 0;
    *floor = kNoChildren;
    if (!parent->children) {
        Forget(parent);
        return nullptr;
    }
    const AppendHint& hint = gHints[parent->appendhint];
    chunk3ds* tail = parent->children;
    std::uint8_t low = ValueOf(tail);
    if (parent->appendhint && hint.parent == parent && hint.generation == gGeneration) {
        tail = hint.tail;
        low = hint.floor;
    }
    for (; tail->sibling; ++*walked) {
        tail = tail->sibling;
        const std::uint8_t v = ValueOf(tail);
        if (v < low) low = v;
    }
    *floor = low;
    return tail;
}

void Remember(chunk3ds* parent, chunk3ds* tail, std::uint8_t floor, std::size_t walked) {
    std::size_t slot = parent->appendhint;
    if (!slot || gHints[slot].parent != parent) {
        if (walked < kHintFrom) return;
        slot = gNextHint;
        gNextHint = gNextHint + 1 < kHintSlots ? gNextHint + 1 : 1;
        parent->appendhint = static_cast<std::uint16_t>(slot);
    }
    gHints[slot] = AppendHint{parent, tail, gGeneration, floor};
}

void FreeNode(chunk3ds* chunk) { toolkit3ds::FreeBlock3ds(chunk); }

// Frees a chain without touching the generation: for chains that hang from a node
// being emptied or from nothing at all.
void FreeChain(chunk3ds* chunk) {
    while (chunk) {
        chunk3ds* next = chunk->sibling;
        FreeChunkData3ds(chunk);
        if (chunk->children) FreeChain(chunk->children);
        FreeNode(chunk);
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
    chunk3ds* c = static_cast<chunk3ds*>(toolkit3ds::AllocBlock3ds(sizeof(chunk3ds)));
    if (!c) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    c->readindex = InvalidFileContext3ds;
    c->writeindex = InvalidFileContext3ds;
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
    std::uint8_t floor = 0;
    std::size_t walked = 0;
    chunk3ds* tail = TailOf(parent, &floor, &walked);
    if (tail)
        tail->sibling = child;
    else
        parent->children = child;
    const std::uint8_t v = ValueOf(child);
    Remember(parent, child, v < floor ? v : floor, walked);
}

void AddChildOrdered3ds(chunk3ds* parent, chunk3ds* child) {
    if (!parent || !child) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint8_t v = ValueOf(child);
    std::uint8_t floor = 0;
    std::size_t walked = 0;
    chunk3ds* tail = TailOf(parent, &floor, &walked);
    // No child of a lower value: the child goes last.
    if (!tail || floor >= v) {
        if (tail)
            tail->sibling = child;
        else
            parent->children = child;
        Remember(parent, child, v < floor ? v : floor, walked);
        return;
    }
    chunk3ds* previous = nullptr;
    for (chunk3ds* c = parent->children; c; previous = c, c = c->sibling) {
        if (ValueOf(c) < v) {
            child->sibling = c;
            if (previous)
                previous->sibling = child;
            else
                parent->children = child;
            Remember(parent, tail, floor, walked);
            return;
        }
    }
    // The floor was stale (a lower child was deleted or retagged): none is lower.
    tail->sibling = child;
    Remember(parent, child, v, walked);
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
    chunk3ds* last = nullptr;
    for (chunk3ds* child = src->children; child; child = child->sibling) {
        chunk3ds* childCopy = nullptr;
        CopyChunk3ds(child, &childCopy);
        if (childCopy) {
            (last ? last->sibling : copy->children) = childCopy;
            last = childCopy;
        }
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
    // A list made again in place drops its old entries' names.
    for (std::uint32_t i = 0; (*list)->list && i < (*list)->count; ++i) std::free((*list)->list[i].name);
    std::free((*list)->list);
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
    // A list made again in place (a name-list getter called twice) drops its old names.
    for (std::uint32_t i = 0; l->list && i < l->spaces; ++i) std::free(l->list[i]);
    std::free(l->list);
    l->list = nullptr;
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
