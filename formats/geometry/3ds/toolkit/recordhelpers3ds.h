#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_RECORDHELPERS3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_RECORDHELPERS3DS_H

// Steps shared by the record functions (meshes, materials, cameras, lights and
// motion): making chunks with data under a parent in write order, copying arrays
// into chunk data, and putting a named object in place of one of the same name.
// Inside the toolkit.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

struct database3ds;
struct namelist3ds;

// A new chunk of `tag` inserted under `parent` in write order; null on failure.
chunk3ds* AddChunk3ds(chunk3ds* parent, std::uint32_t tag);

// A new chunk of `tag` with a fresh data record, inserted under `parent`.
template <typename T>
T* AddData3ds(chunk3ds* parent, std::uint32_t tag, chunk3ds** out = nullptr) {
    chunk3ds* chunk = nullptr;
    T* data = static_cast<T*>(InitChunkAndData3ds(&chunk, tag));
    if (!data) {
        ReleaseDetachedChunk3ds(&chunk);
        return nullptr;
    }
    AddChildOrdered3ds(parent, chunk);
    if (out) *out = chunk;
    return data;
}

// dst := a new copy of n elements of src; false when out of memory (pushed).
template <typename T>
bool CopyArray3ds(T*& dst, const T* src, std::size_t n) {
    dst = nullptr;
    if (n == 0 || !src) return true;
    dst = static_cast<T*>(std::malloc(n * sizeof(T)));
    if (!dst) {
        PushErrList3ds(ERR_NO_MEM);
        return false;
    }
    std::memcpy(dst, src, n * sizeof(T));
    return true;
}

// The named object `name` of db's mesh section, emptied in place when one exists
// (its first extended-data section copied to *kept when kept is given), else a new
// one; its name set and the list updated. Null on failure.
chunk3ds* PutNamedObject3ds(database3ds* db, const char* name, chunk3ds** kept);

// Names of the named objects that hold a chunk of `tag` (0x4610: spotlights).
void GetObjectNameList3ds(database3ds* db, std::uint32_t tag, namelist3ds** list);

}  // namespace zeqsdk_400

#endif
