#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_READCACHE3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_READCACHE3DS_H

// Positioned reads of a file context through a window of its bytes, for the tree
// reader and the lazy chunk data reads: a seek on a stdio stream costs a system
// call even inside its buffer, and these reads jump from chunk to chunk. Inside
// the toolkit only.

#include <cstddef>
#include <cstdint>

namespace zeqsdk_400 {

struct file3ds;

// Copies n bytes at offset `at`; false when the file ends first.
bool ReadAt3ds(file3ds* ctx, std::uint64_t at, void* dst, std::size_t n);
// The byte at `at`, or -1 past the end.
int ByteAt3ds(file3ds* ctx, std::uint64_t at);
void ReleaseReadCache3ds(file3ds* ctx);

}  // namespace zeqsdk_400

#endif
