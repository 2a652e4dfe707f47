#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BLOCKPOOL3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BLOCKPOOL3DS_H

// The toolkit's small blocks (chunk nodes and data records) come from slabs of one
// block size each instead of one heap allocation apiece: a file of 10^5 chunks
// costs a few heap allocations, no per-block header, and the nodes of a tree lie
// side by side. A run goes back to the heap when its every block is freed (but
// for a few kept), so releasing a database returns its memory whatever order the
// blocks go in.
// Single-threaded, as the rest of the toolkit. Inside the toolkit only.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Builds with AddressSanitizer take each block from the heap, so that it checks
// every node and record on its own; ZEQ_3DS_POOL_UNDER_ASAN keeps the pool there,
// to fuzz the pool itself.
#if !defined(ZEQ_3DS_POOL_UNDER_ASAN)
#if defined(__SANITIZE_ADDRESS__)
#define ZEQ_3DS_HEAP_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEQ_3DS_HEAP_BLOCKS 1
#endif
#endif
#endif

namespace zeqsdk_400 {
namespace toolkit3ds {

namespace blockpool3ds {
constexpr int kClasses = 13;
constexpr std::uint16_t kSizes[kClasses] = {4, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128};
// Block class by (size + 3) / 4.
struct ClassTable {
    std::uint8_t of[kSizes[kClasses - 1] / 4 + 1];
};
constexpr ClassTable MakeClassTable() {
    ClassTable table{};
    int cls = 0;
    for (std::size_t quarter = 0; quarter < sizeof(table.of); ++quarter) {
        while (kSizes[cls] < quarter * 4) ++cls;
        table.of[quarter] = static_cast<std::uint8_t>(cls);
    }
    return table;
}
constexpr ClassTable kClassOf = MakeClassTable();
}  // namespace blockpool3ds

class BlockPool3ds {
public:
    static constexpr std::size_t MaxBlock = 128;
    static constexpr std::size_t SlabSize = 16 * 1024;
    static constexpr std::size_t RunSlabs = 32;  // slabs are taken from the heap 512 KiB at a time
    // Empty runs kept for the next blocks (4 MiB), as malloc keeps freed memory:
    // loading file after file then does not fault every page in from the kernel again.
    static constexpr std::size_t KeptRuns = 8;

    constexpr BlockPool3ds() = default;
    BlockPool3ds(const BlockPool3ds&) = delete;
    BlockPool3ds& operator=(const BlockPool3ds&) = delete;

    // A zeroed block of at least `size` bytes (1 to MaxBlock), aligned for any
    // record of that size; null when memory runs out.
    void* Allocate(std::size_t size);
    // Gives back a block of this pool; null: nothing.
    void Free(void* block);
    // Returns the empty runs kept for reuse to the heap.
    void Trim();
    // Runs held from the heap, the kept empty ones included.
    std::size_t RunCount() const { return mRunCount; }

private:
    struct Run;
    // Runs are aligned to the slab size and cut into slabs, so a block finds its
    // slab by masking its address. Free blocks are linked through their first 4
    // bytes by offset in the slab (4-byte blocks cannot hold a pointer); offset 0,
    // the header, ends the list.
    struct Slab {
        Slab* next;  // in its class's list of slabs with room, or in the empty list
        Slab* prev;
        Run* run;
        std::uint32_t free;   // first free block, 0 for none
        std::uint32_t fresh;  // first block never handed out
        std::uint32_t used;   // blocks handed out
        std::uint16_t size;   // bytes of a block
        std::uint8_t cls;
        bool room;  // in its class's list
    };
    static constexpr int kClasses = blockpool3ds::kClasses;
    static constexpr std::uint32_t kFirstBlock = 64;  // past the header, 8-aligned
    static_assert(sizeof(Slab) <= kFirstBlock, "the header fits before the first block");
    static_assert(blockpool3ds::kSizes[kClasses - 1] == MaxBlock, "the largest class holds the largest block");

    void Full(Slab* slab);
    void FreeSlow(Slab* slab);
    Slab* NewSlab(int cls);
    void Empty(Slab* slab);
    void FreeRun(Run* run);
    static void Push(Slab*& head, Slab* slab);
    static void Remove(Slab*& head, Slab* slab);

    Slab* mRoom[kClasses] = {};  // per block size, slabs with a free block
    Slab* mEmpty = nullptr;      // slabs of no size yet, or again
    Run* mCarving = nullptr;     // the run whose slabs are not all handed out yet
    Run* mRuns = nullptr;        // all runs
    std::size_t mRunCount = 0;
    std::size_t mKept = 0;  // runs whose slabs are all empty
};

// The common cases inline: a block from a slab with room, a block back into a
// slab that keeps others.
inline void* BlockPool3ds::Allocate(std::size_t size) {
    if (size == 0 || size > MaxBlock) return nullptr;
    const int cls = blockpool3ds::kClassOf.of[(size + 3) / 4];
    Slab* slab = mRoom[cls];
    if (!slab && !(slab = NewSlab(cls))) return nullptr;
    auto* block = reinterpret_cast<std::uint8_t*>(slab);
    if (slab->free) {
        block += slab->free;
        std::memcpy(&slab->free, block, 4);
    } else {
        block += slab->fresh;
        slab->fresh += slab->size;
    }
    ++slab->used;
    if (!slab->free && slab->fresh + slab->size > SlabSize) Full(slab);
    std::memset(block, 0, size);
    return block;
}

inline void BlockPool3ds::Free(void* block) {
    if (!block) return;
    auto* slab = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(SlabSize - 1));
    std::memcpy(block, &slab->free, 4);
    slab->free = static_cast<std::uint32_t>(static_cast<std::uint8_t*>(block) - reinterpret_cast<std::uint8_t*>(slab));
    if (--slab->used == 0 || !slab->room) FreeSlow(slab);
}

// The toolkit's blocks: from one pool, or straight from the heap (see above).
extern BlockPool3ds gBlockPool3ds;

inline void* AllocBlock3ds(std::size_t size) {
#ifdef ZEQ_3DS_HEAP_BLOCKS
    return std::calloc(1, size);
#else
    return gBlockPool3ds.Allocate(size);
#endif
}

inline void FreeBlock3ds(void* block) {
#ifdef ZEQ_3DS_HEAP_BLOCKS
    std::free(block);
#else
    gBlockPool3ds.Free(block);
#endif
}

}  // namespace toolkit3ds
}  // namespace zeqsdk_400

#endif
