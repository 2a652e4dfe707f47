#include "formats/geometry/3ds/toolkit/database3ds.h"

// A 3DS file is a tree of chunks: a 16-bit tag, a 32-bit length counting the 6-byte
// header, the chunk's own data and its sub-chunks, all little-endian:
//
//   0x4D4D mesh file (0xC23D project, 0x3DAA material library)
//     0x0002 version          u32
//     0x3D3D mesh section     settings, 0xAFFF materials, 0x4000 named objects
//     0xB000 keyframer        0xB00A header, 0xB008 segment, 0xB009 frame, nodes
//
// Reading builds the tree of headers only (data on first use) and refuses a child
// shorter than a header, one that ends past its parent, or nesting deeper than
// MaxChunkDepth3ds. Writing stamps the release, numbers the keyframe nodes and
// writes every chunk but deleted ones (tag 0) and in-memory parent names (0x80F0),
// patching a header whose length changed.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/databaseindex3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/kfnodes3ds.h"
#include "formats/geometry/3ds/toolkit/readcache3ds.h"

namespace zeqsdk_400 {

namespace {

void ReleaseLists(database3ds* db) {
    ReleaseChunkList3ds(&db->objects);
    ReleaseChunkList3ds(&db->materials);
    ReleaseChunkList3ds(&db->nodes);
    delete db->index;
    db->index = nullptr;
    db->objectsdirty = db->materialsdirty = db->nodesdirty = 1;
}

// Reads the children of `parent` from its file, headers only. In an extended-data
// entry a foreign tag ends the entry and a child running past it is passed over.
// `keyframer` is set when a keyframer section is met.
bool ReadChildrenAt(chunk3ds* parent, int depth, bool xdata, bool* keyframer) {
    file3ds* ctx = GetContextByIndex3ds(parent->readindex);
    if (!ctx || !ctx->stream) {
        PushErrList3ds(ERR_READING_FILE);
        return false;
    }
    SetContext3ds(ctx);
    if (depth > MaxChunkDepth3ds) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return false;
    }
    const std::uint64_t end = static_cast<std::uint64_t>(parent->position) + parent->size;
    if (end > ctx->filesize) {
        PushErrList3ds(ERR_INVALID_CHUNK);  // a length that runs past the file
        return false;
    }
    std::uint64_t at = 0;
    if (!ChildOffset3ds(ctx, parent, static_cast<std::uint64_t>(parent->position) + 6, &at)) return false;
    // Children go in file order after those the parent has already.
    chunk3ds* last = parent->children;
    while (last && last->sibling) last = last->sibling;
    while (at < end) {
        if (end - at < 6) {
            PushErrList3ds(ERR_INVALID_CHUNK);
            return false;
        }
        const std::uint8_t* header = ViewAt3ds(ctx, at, 6);
        if (!header) {
            PushErrList3ds(ERR_READING_FILE);
            return false;
        }
        const std::uint32_t tag = header[0] | (header[1] << 8);
        const std::uint32_t length = header[2] | (header[3] << 8) | (header[4] << 16) |
                                     (static_cast<std::uint32_t>(header[5]) << 24);
        if (xdata && (tag < 0x8002 || tag > 0x800F)) return true;
        if (length < 6 || at + length > end) {
            if (xdata) {
                at += 6;
                continue;
            }
            PushErrList3ds(ERR_INVALID_CHUNK);
            return false;
        }
        chunk3ds* child = nullptr;
        InitChunk3ds(&child);
        if (!child) return false;
        child->tag = tag;
        child->size = length;
        child->position = static_cast<std::uint32_t>(at);
        child->readindex = parent->readindex;
        (last ? last->sibling : parent->children) = child;
        last = child;
        if (tag == 0xB000) *keyframer = true;
        // A chunk whose content is all data has no children to look for.
        const toolkit3ds::CatalogEntry* entry = toolkit3ds::FindCatalogEntry(tag);
        if (entry && entry->skip != toolkit3ds::SkipKind::Rest) {
            if (!ReadChildrenAt(child, depth + 1, xdata || tag == 0x8001, keyframer)) return false;
        } else if (depth + 1 > MaxChunkDepth3ds) {
            PushErrList3ds(ERR_INVALID_CHUNK);
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace

void InitDatabase3ds(database3ds** db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*db) {
        *db = static_cast<database3ds*>(std::calloc(1, sizeof(database3ds)));
        if (!*db) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    database3ds* d = *db;
    d->top = nullptr;
    d->objects = d->materials = d->nodes = nullptr;
    d->index = nullptr;
    d->objectsdirty = d->materialsdirty = d->nodesdirty = 1;
}

void ReleaseDatabase3ds(database3ds** db) {
    if (!db || !*db) return;
    ReleaseChunk3ds(&(*db)->top);
    ReleaseLists(*db);
    std::free(*db);
    *db = nullptr;
}

void CreateDatabase3ds(file3ds* file, database3ds* db) {
    if (!file || !db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (file->mode != 1 || !file->stream) return;
    ReleaseChunk3ds(&db->top);
    ReleaseLists(db);
    auto fail = [db]() {
        PushErrList3ds(ERR_CREATING_DATABASE);
        if (ignoretoolkiterr3ds) return false;
        ReleaseChunk3ds(&db->top);  // nothing half-read stays behind
        ReleaseLists(db);
        return true;
    };
    InitChunk3ds(&db->top);
    if (!db->top) {
        PushErrList3ds(ERR_CREATING_DATABASE);
        return;
    }
    db->top->readindex = file->index;
    SetContext3ds(file);
    if (FileSeek3ds(0) != 0) PushErrList3ds(ERR_READING_FILE);
    if (Stop3ds() && fail()) return;
    std::uint32_t tag = 0, length = 0;
    ReadHeader3ds(&tag, &length);
    if (Stop3ds() && fail()) return;
    db->top->tag = tag;
    db->top->size = length;
    if (tag != 0x4D4D && tag != 0xC23D && tag != 0x3DAA) return;
    bool keyframer = false;
    if (!ReadChildrenAt(db->top, 0, false, &keyframer)) PushErrList3ds(ERR_READING_DATABASE);
    if (Stop3ds() && fail()) return;
    // Without a keyframer section there are no parent ids to turn into names.
    if (keyframer) AssignParentNames(db);
    if (Stop3ds() && fail()) return;
}

void CreateNewDatabase3ds(database3ds* db, std::int32_t type) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReleaseChunk3ds(&db->top);
    ReleaseLists(db);
    const std::uint32_t tag = type == 1 ? 0x4D4D : type == 2 ? 0xC23D : type == 3 ? 0x3DAA : 0;
    InitChunkAs3ds(&db->top, tag);
    if (!db->top) {
        PushErrList3ds(ERR_CREATING_DATABASE);
        return;
    }
    PutDatabaseRelease3ds(db, 2);
}

std::uint32_t GetDatabaseType3ds(const database3ds* db) {
    if (!db || !db->top) return UnknownDatabase3ds;
    switch (db->top->tag) {
        case 0x4D4D:
            return MeshFile3ds;
        case 0xC23D:
            return ProjectFile3ds;
        case 0x3DAA:
            return MaterialFile3ds;
        default:
            return UnknownDatabase3ds;
    }
}

void CopyDatabase3ds(database3ds* src, database3ds* dst) {
    if (!src || !dst) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // Into itself the tree would be released before it is copied.
    if (!src->top || src == dst) return;
    ReleaseChunk3ds(&dst->top);
    ReleaseLists(dst);
    CopyChunk3ds(src->top, &dst->top);
}

void DisconnectDatabase3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->top) {
        PushErrList3ds(ERR_INVALID_DATABASE);
        return;
    }
    DisconnectChunk3ds(db->top);
}

void ReadChildren3ds(chunk3ds* parent) {
    if (!parent) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    bool keyframer = false;
    if (!ReadChildrenAt(parent, 0, parent->tag == 0x8001, &keyframer)) PushErrList3ds(ERR_READING_DATABASE);
}

void ReadXDataEntryChildren3ds(chunk3ds* entry) {
    if (!entry) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    bool keyframer = false;
    if (!ReadChildrenAt(entry, 0, true, &keyframer)) PushErrList3ds(ERR_READING_DATABASE);
}

namespace {

// Appends a chunk and its subtree to `out`, patching each header whose length
// changed; the whole tree is written to the file afterwards in one call.
bool Serialize(chunk3ds* chunk, std::uint8_t fileindex, std::vector<std::uint8_t>& out) {
    if (chunk->tag == 0 || chunk->tag == 0x80F0) return true;
    chunk->writeindex = fileindex;
    ReadChunkData3ds(chunk);
    if (Stop3ds()) return false;
    const std::size_t start = out.size();
    const std::uint16_t tag = static_cast<std::uint16_t>(chunk->tag);
    const std::uint8_t header[6] = {static_cast<std::uint8_t>(tag), static_cast<std::uint8_t>(tag >> 8), 0, 0, 0, 0};
    out.insert(out.end(), header, header + 6);
    toolkit3ds::AppendChunkData(chunk, out);
    // A block that holds the whole content already holds the sub-chunks.
    if (!toolkit3ds::HoldsWholeContent(chunk)) {
        for (chunk3ds* child = chunk->children; child; child = child->sibling)
            if (!Serialize(child, fileindex, out)) return false;
    }
    const std::size_t written = out.size() - start;
    if (written > 0xFFFFFFFFu) {
        PushErrList3ds(ERR_WRITING_FILE);  // beyond what a chunk length can say
        return false;
    }
    chunk->size = static_cast<std::uint32_t>(written);
    for (int b = 0; b < 4; ++b) out[start + 2 + b] = static_cast<std::uint8_t>(written >> (8 * b));
    if (GetContextByIndex3ds(chunk->readindex)) FreeChunkData3ds(chunk);
    return true;
}

}  // namespace

void WriteChunk3ds(chunk3ds* chunk, std::uint8_t fileindex) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    file3ds* out = GetContextByIndex3ds(fileindex);
    if (!out || !out->stream) {
        PushErrList3ds(ERR_WRITING_FILE);
        return;
    }
    std::vector<std::uint8_t> bytes;
    const bool ok = Serialize(chunk, fileindex, bytes);
    SetContext3ds(out);
    // What was made is written even after a failure, as a file written chunk by chunk would be.
    if (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, out->stream) != 1) {
        PushSystemErrList3ds(ERR_WRITING_FILE);
        return;
    }
    (void)ok;
}

void WriteDatabase3ds(file3ds* file, database3ds* db) {
    if (!file || !db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    PutDatabaseRelease3ds(db, 2);
    if (file->mode != 2 || !file->stream) return;
    if (!db->top) {
        PushErrList3ds(ERR_INVALID_DATABASE);
        return;
    }
    ComputeNodeIds(db);
    if (Stop3ds()) {
        PushErrList3ds(ERR_WRITING_DATABASE);
        return;
    }
    SetContext3ds(file);
    if (FileSeek3ds(0) != 0) PushSystemErrList3ds(ERR_WRITING_FILE);
    db->top->writeindex = file->index;
    if (!Stop3ds()) WriteChunk3ds(db->top, file->index);
    if (!Stop3ds() && std::fflush(file->stream) != 0) PushSystemErrList3ds(ERR_WRITING_FILE);
    if (Stop3ds()) PushErrList3ds(ERR_WRITING_DATABASE);
}

chunk3ds* FindChild3ds(chunk3ds* parent, std::uint32_t tag) {
    chunk3ds* found = nullptr;
    if (parent) FindNextChunk3ds(parent->children, tag, &found);
    return found;
}

chunk3ds* FindOrAddSection3ds(database3ds* db, std::uint32_t tag) {
    if (!db || !db->top) return nullptr;
    chunk3ds* section = nullptr;
    FindChunk3ds(db->top, tag, &section);
    if (section) return section;
    InitChunkAs3ds(&section, tag);
    if (!section) return nullptr;
    AddChildOrdered3ds(db->top, section);
    return section;
}

bool CheckDatabase3ds(const database3ds* db, bool mesh, bool project, bool library, std::int32_t wrongcode) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!db->top) {
        PushErrList3ds(ERR_INVALID_DATABASE);
        return false;
    }
    const std::uint32_t tag = db->top->tag;
    if ((tag == 0x4D4D && mesh) || (tag == 0xC23D && project) || (tag == 0x3DAA && library)) return true;
    PushErrList3ds(wrongcode);
    return false;
}

}  // namespace zeqsdk_400
