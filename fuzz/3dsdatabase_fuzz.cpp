// A 3DS database made from arbitrary bytes: every lookup list is built and
// searched, every chunk's data read, and every record got and released; then the
// database is written and read back. One input in five runs with errors ignored.
// The toolkit's global state is reset after each input. The input is the file
// itself (no mode byte): the seeds in fuzz/corpus/3dsdatabase_fuzz are the sample files.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "fuzz/fuzzscratch.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "3dsdatabase-fuzz";

void ReadAll(chunk3ds* chunk, int depth) {
    for (; chunk; chunk = chunk->sibling) {
        ReadChunkData3ds(chunk);
        if (depth < 80) ReadAll(chunk->children, depth + 1);
    }
}

void Records(database3ds* db) {
    UpdateNamedObjectList3ds(db);
    UpdateMatEntryList3ds(db);
    UpdateNodeTagList3ds(db);
    ClearErrList3ds();
    for (std::uint32_t i = 0; db->objects && i < db->objects->count; ++i) {
        chunk3ds* found = nullptr;
        FindNamedObject3ds(db, db->objects->list[i].name, &found);
    }
    for (std::uint32_t tag : {0x4100u, 0x4600u, 0x4610u, 0x4700u}) FindNamedObjectByIndex3ds(db, tag, 0);
    for (std::uint32_t i = 0; db->nodes && i < db->nodes->count; ++i)
        FindNodeTagByNameAndType3ds(db, db->nodes->list[i].name, db->nodes->list[i].chunk->tag);
    ClearErrList3ds();
    meshset3ds* settings = nullptr;
    GetMeshSet3ds(db, &settings);
    ReleaseMeshSet3ds(&settings);
    background3ds* background = nullptr;
    GetBackground3ds(db, &background);
    ReleaseBackground3ds(&background);
    GetDatabaseRelease3ds(db);
    GetKfRelease3ds(db);
    ClearErrList3ds();
    // Every record by index, released after; a failing get leaves a freeable record.
    for (std::uint32_t i = 0, n = GetMeshCount3ds(db); i < n && i < 64; ++i) {
        mesh3ds* m = nullptr;
        GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &m);
        RelMeshObj3ds(&m);
        ClearErrList3ds();
    }
    for (std::uint32_t i = 0, n = GetMaterialCount3ds(db); i < n && i < 64; ++i) {
        material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, i, &m);
        ReleaseMaterial3ds(&m);
        ClearErrList3ds();
    }
    for (std::uint32_t i = 0, n = GetCameraCount3ds(db); i < n && i < 64; ++i) {
        camera3ds* c = nullptr;
        GetCameraByIndex3ds(db, i, &c);
        ReleaseCamera3ds(&c);
        ClearErrList3ds();
    }
    for (int spot = 0; spot < 2; ++spot) {
        const std::uint32_t n = spot ? GetSpotlightCount3ds(db) : GetOmnilightCount3ds(db);
        for (std::uint32_t i = 0; i < n && i < 64; ++i) {
            light3ds* l = nullptr;
            if (spot)
                GetSpotlightByIndex3ds(db, i, &l);
            else
                GetOmnilightByIndex3ds(db, i, &l);
            if (l) ReleaseLight3ds(&l);
            ClearErrList3ds();
        }
    }
    kfsets3ds* sets = nullptr;
    GetKfSets3ds(db, &sets);
    ReleaseKfSets3ds(&sets);
    ClearErrList3ds();
    for (std::uint32_t i = 0, n = GetObjectNodeCount3ds(db); i < n && i < 64; ++i) {
        kfmesh3ds* m = nullptr;
        GetObjectMotionByIndex3ds(db, i, &m);
        ReleaseObjectMotion3ds(&m);
        ClearErrList3ds();
    }
    for (std::uint32_t i = 0, n = GetCameraNodeCount3ds(db); i < n && i < 64; ++i) {
        kfcamera3ds* c = nullptr;
        GetCameraMotionByIndex3ds(db, i, &c);
        ReleaseCameraMotion3ds(&c);
        ClearErrList3ds();
    }
    for (std::uint32_t i = 0, n = GetOmnilightNodeCount3ds(db); i < n && i < 64; ++i) {
        kfomni3ds* o = nullptr;
        GetOmnilightMotionByIndex3ds(db, i, &o);
        ReleaseOmnilightMotion3ds(&o);
        ClearErrList3ds();
    }
    for (std::uint32_t i = 0, n = GetSpotlightNodeCount3ds(db); i < n && i < 64; ++i) {
        kfspot3ds* s = nullptr;
        GetSpotlightMotionByIndex3ds(db, i, &s);
        ReleaseSpotlightMotion3ds(&s);
        ClearErrList3ds();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = zeqfuzz::Put(kScratch, "in.3ds", data, size);
    if (in.empty()) return 0;
    const std::string out = zeqfuzz::ScratchFolder(kScratch).PathOf("out.3ds");
    // Some inputs run with errors ignored, where functions carry on after a failure.
    ignoretoolkiterr3ds = size % 5 == 1;
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    if (file3ds* input = OpenFile3ds(in.c_str(), "rb")) CreateDatabase3ds(input, db);
    ClearErrList3ds();
    if (db->top) {
        Records(db);
        ReadAll(db->top, 0);
        ClearErrList3ds();
        if (file3ds* output = OpenFile3ds(out.c_str(), "wb")) {
            WriteDatabase3ds(output, db);
            CloseFile3ds(output);
        }
        ClearErrList3ds();
        database3ds* back = nullptr;
        InitDatabase3ds(&back);
        if (file3ds* input = OpenFile3ds(out.c_str(), "rb")) CreateDatabase3ds(input, back);
        ClearErrList3ds();
        if (back->top) Records(back);
        ReleaseDatabase3ds(&back);
    }
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    ClearErrList3ds();
    ignoretoolkiterr3ds = 0;
    return 0;
}
