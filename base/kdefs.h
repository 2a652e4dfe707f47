#ifndef ZEQ_BASE_KDEFS_H
#define ZEQ_BASE_KDEFS_H

#include <cstddef>
#include <cstdint>

namespace zeqsdk_400 {

typedef std::int64_t kLongLong;
typedef std::uint64_t kULongLong;
// A value slot that holds either an integer or a pointer.
typedef std::uintptr_t kReference;

}  // namespace zeqsdk_400

#endif
