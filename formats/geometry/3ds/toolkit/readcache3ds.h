#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_READCACHE3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_READCACHE3DS_H

// Positioned reads of a file context through a window of its bytes, for the tree
// reader and the lazy chunk data reads: a seek on a stdio stream costs a system
// call even inside its buffer, and these reads jump from chunk to chunk. Inside
// the toolkit only.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/geometry/3ds/toolkit/filecontext3ds.h"

namespace zeqsdk_400 {

struct readcache3ds {
    std::uint64_t start = 0;
    std::size_t length = 0;
    std::vector<std::uint8_t> bytes;
};

// Copies n bytes at offset `at`; false when the file ends first.
bool ReadAt3ds(file3ds* ctx, std::uint64_t at, void* dst, std::size_t n);
// The n bytes at `at` where they lie in the window, moved to start there when
// needed; null when they do not fit a window or the file ends first. Valid until
// the next read of the context.
const std::uint8_t* ViewAtSlow3ds(file3ds* ctx, std::uint64_t at, std::size_t n);
inline const std::uint8_t* ViewAt3ds(file3ds* ctx, std::uint64_t at, std::size_t n) {
    const auto* cache = ctx ? static_cast<const readcache3ds*>(ctx->readcache) : nullptr;
    if (cache && n && at >= cache->start && at - cache->start + n <= cache->length)
        return cache->bytes.data() + (at - cache->start);
    return ViewAtSlow3ds(ctx, at, n);
}
// The byte at `at`, or -1 past the end.
int ByteAt3ds(file3ds* ctx, std::uint64_t at);
void ReleaseReadCache3ds(file3ds* ctx);

}  // namespace zeqsdk_400

#endif
