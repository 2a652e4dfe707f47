// Release levels of the version chunks (0x0002 file version, 0x3D3E mesh section
// version, 0xB00A keyframer header revision).

#include <cstdlib>

#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

namespace {

// Numbers stored for levels 0, 1, 2 and 3 in each version chunk.
const std::uint32_t kM3dVersions[4] = {1, 2, 3, 4};
const std::uint32_t kMeshVersions[4] = {1, 2, 3, 4};
const std::uint32_t kKfRevisions[4] = {1, 2, 5, 6};

std::uint32_t LevelOf(const std::uint32_t (&numbers)[4], std::uint32_t number) {
    for (std::uint32_t level = 0; level < 3; ++level)
        if (numbers[level] == number) return level;
    return 3;
}

std::uint32_t NumberOf(const std::uint32_t (&numbers)[4], std::uint32_t level) { return numbers[level > 3 ? 3 : level]; }

bool HasTop(database3ds* db, std::int32_t missing) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!db->top) {
        PushErrList3ds(missing);
        return false;
    }
    return true;
}

bool MeshOrProject(database3ds* db) { return db->top->tag == 0x4D4D || db->top->tag == 0xC23D; }

// Keeps a changed record in memory: a chunk read from a file would otherwise drop
// it after a write and read the old bytes again.
void KeepInMemory(chunk3ds* chunk) { chunk->readindex = InvalidFileContext3ds; }

}  // namespace

std::uint32_t GetM3dMagicRelease3ds(database3ds* db) {
    if (!HasTop(db, ERR_INVALID_DATABASE) || db->top->tag != 0x4D4D) return 3;
    chunk3ds* version = nullptr;
    FindChunk3ds(db->top, 0x0002, &version);
    const auto* data = version ? static_cast<ulongdata3ds*>(ReadChunkData3ds(version)) : nullptr;
    return data ? LevelOf(kM3dVersions, data->value) : 3;
}

void PutM3dMagicRelease3ds(database3ds* db, std::uint32_t level) {
    if (!HasTop(db, ERR_INVALID_DATA) || db->top->tag != 0x4D4D) return;
    chunk3ds* version = nullptr;
    ReplaceOrAddChild3ds(db->top, 0x0002, &version);
    if (!version) return;
    auto* data = static_cast<ulongdata3ds*>(InitChunkData3ds(version));
    if (data) data->value = NumberOf(kM3dVersions, level);
}

std::uint32_t GetMeshRelease3ds(database3ds* db) {
    if (!HasTop(db, ERR_INVALID_DATABASE) || !MeshOrProject(db)) return 3;
    chunk3ds* version = nullptr;
    FindChunk3ds(db->top, 0x3D3E, &version);
    const auto* data = version ? static_cast<longdata3ds*>(ReadChunkData3ds(version)) : nullptr;
    return data ? LevelOf(kMeshVersions, static_cast<std::uint32_t>(data->value)) : 3;
}

void PutMeshRelease3ds(database3ds* db, std::uint32_t level) {
    if (!HasTop(db, ERR_INVALID_DATA) || !MeshOrProject(db)) return;
    chunk3ds* section = FindOrAddSection3ds(db, 0x3D3D);
    if (!section) return;
    chunk3ds* version = nullptr;
    ReplaceOrAddChild3ds(section, 0x3D3E, &version);
    if (!version) return;
    auto* data = static_cast<longdata3ds*>(InitChunkData3ds(version));
    if (data) data->value = static_cast<std::int32_t>(NumberOf(kMeshVersions, level));
}

std::uint32_t GetKfRelease3ds(database3ds* db) {
    if (!HasTop(db, ERR_INVALID_DATABASE) || !MeshOrProject(db)) return 3;
    chunk3ds* section = nullptr;
    FindChunk3ds(db->top, 0xB000, &section);
    if (!section) return 3;
    chunk3ds* header = nullptr;
    FindChunk3ds(db->top, 0xB00A, &header);
    const auto* data = header ? static_cast<kfheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
    return data ? LevelOf(kKfRevisions, static_cast<std::uint16_t>(data->revision)) : 3;
}

void PutKfRelease3ds(database3ds* db, std::uint32_t level) {
    if (!HasTop(db, ERR_INVALID_DATABASE) || !MeshOrProject(db)) return;
    chunk3ds* section = FindOrAddSection3ds(db, 0xB000);
    if (!section) return;
    chunk3ds* header = nullptr;
    FindChunk3ds(section, 0xB00A, &header);
    kfheaderdata3ds* data = nullptr;
    if (!header) {
        data = static_cast<kfheaderdata3ds*>(InitChunkAndData3ds(&header, 0xB00A));
        if (!data) {
            ReleaseDetachedChunk3ds(&header);
            return;
        }
        data->filename = strdup3ds("");
        data->animlength = 30;
        AddChildOrdered3ds(section, header);
    } else {
        data = static_cast<kfheaderdata3ds*>(ReadChunkData3ds(header));
        if (!data) return;
        KeepInMemory(header);
    }
    data->revision = static_cast<std::int16_t>(NumberOf(kKfRevisions, level));
}

std::uint32_t GetDatabaseRelease3ds(database3ds* db) {
    switch (GetDatabaseType3ds(db)) {
        case MeshFile3ds:
            return GetM3dMagicRelease3ds(db);
        case ProjectFile3ds:
            return GetMeshRelease3ds(db);
        case MaterialFile3ds:
            return 2;
        default:
            return 3;
    }
}

void PutDatabaseRelease3ds(database3ds* db, std::uint32_t level) {
    switch (GetDatabaseType3ds(db)) {
        case MeshFile3ds:
            PutM3dMagicRelease3ds(db, level);
            PutMeshRelease3ds(db, level);
            PutKfRelease3ds(db, level);
            break;
        case ProjectFile3ds:
            PutMeshRelease3ds(db, level);
            PutKfRelease3ds(db, level);
            break;
        default:
            break;
    }
}

}  // namespace zeqsdk_400
