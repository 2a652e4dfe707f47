#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFTRACK3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFTRACK3DS_H

// The four fields of a track in a motion record (key count, flags, key headers,
// values), allocated with defaults, freed, and taken over from a track chunk's
// data. Inside the toolkit.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

template <typename V>
struct track3ds {
    std::uint32_t& count;
    std::uint16_t& flags;
    keyheader3ds*& keys;
    V*& values;  // unused for the hide track (V = void)
};

template <typename V>
track3ds<V> Track3ds(std::uint32_t& count, std::uint16_t& flags, keyheader3ds*& keys, V*& values) {
    return {count, flags, keys, values};
}

template <typename V>
void FreeTrack3ds(track3ds<V> t) {
    std::free(t.keys);
    std::free(t.values);
    t.keys = nullptr;
    t.values = nullptr;
    t.count = 0;
    t.flags = 0;
}

// n keys with zeroed headers and `fill` values; a count of 0 leaves the track alone.
template <typename V>
bool AllocTrack3ds(track3ds<V> t, std::uint32_t n, const V* fill) {
    if (n == 0) return true;
    std::free(t.keys);
    std::free(t.values);
    t.values = nullptr;
    t.flags = 0;
    t.count = n;
    t.keys = static_cast<keyheader3ds*>(std::calloc(n, sizeof(keyheader3ds)));
    if (!t.keys) {
        PushErrList3ds(ERR_NO_MEM);
        return false;
    }
    if constexpr (!std::is_void_v<V>) {
        if (!fill) return true;
        t.values = static_cast<V*>(std::calloc(n, sizeof(V)));
        if (!t.values) {
            PushErrList3ds(ERR_NO_MEM);
            return false;
        }
        for (std::uint32_t i = 0; i < n; ++i) std::memcpy(&t.values[i], fill, sizeof(V));
    }
    return true;
}

// The track of `tag` under `node` (depth-first) passes its arrays to the record,
// which first lets go of its own; a node without it leaves the track empty.
template <typename V>
bool TakeTrack3ds(chunk3ds* node, std::uint32_t tag, track3ds<V> t) {
    FreeTrack3ds(t);
    chunk3ds* chunk = nullptr;
    FindChunk3ds(node, tag, &chunk);
    if (!chunk) return true;
    auto* data = static_cast<trackdata3ds*>(ReadChunkData3ds(chunk));
    if (!data) return false;
    if (data->header.keycount == 0 || !data->keys) return true;
    t.count = data->header.keycount;
    t.flags = data->header.flags;
    t.keys = data->keys;
    data->keys = nullptr;
    t.values = static_cast<V*>(data->values);
    data->values = nullptr;
    return true;
}

}  // namespace zeqsdk_400

#endif
