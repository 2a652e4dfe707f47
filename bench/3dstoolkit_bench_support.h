#ifndef ZEQ_BENCH_3DSTOOLKIT_BENCH_SUPPORT_H
#define ZEQ_BENCH_3DSTOOLKIT_BENCH_SUPPORT_H

// Helpers of the 3DS toolkit's record and motion benchmarks.

#include <malloc.h>

#include <cstdint>
#include <string>

#include "bench/benchscratch.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"

namespace tk3dsbench {

using namespace zeqsdk_400;

inline std::string Path(const std::string& name) { return zeqbench::ScratchPath(name); }

// Bytes held from malloc, big blocks of their own (mmap) included.
inline std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

inline database3ds* NewDatabase() {
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateNewDatabase3ds(db, 1);
    return db;
}

inline void WriteDb(database3ds* db, const std::string& path) {
    file3ds* file = OpenFile3ds(path.c_str(), "wb");
    WriteDatabase3ds(file, db);
    CloseFile3ds(file);
}

inline std::string Name(std::int64_t i) { return "O" + std::to_string(i); }

}  // namespace tk3dsbench

#endif
