#include "formats/geometry/3ds/toolkit/blockpool3ds.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace zeqsdk_400 {
namespace toolkit3ds {

struct BlockPool3ds::Run {
    std::uint8_t* base;
    std::uint32_t carved;  // slabs handed out so far, from the start
    std::uint32_t empty;   // of those, slabs without blocks
    Run* next;             // among all runs
    Run* prev;
};

void BlockPool3ds::Full(Slab* slab) {
    Remove(mRoom[slab->cls], slab);
    slab->room = false;
}

// A slab that was full has room again, or one without blocks left.
void BlockPool3ds::FreeSlow(Slab* slab) {
    if (slab->used == 0) {
        if (slab->room) Remove(mRoom[slab->cls], slab);
        Empty(slab);
    } else if (!slab->room) {
        Push(mRoom[slab->cls], slab);
        slab->room = true;
    }
}

void BlockPool3ds::Trim() {
    for (Run* run = mRuns; run;) {
        Run* next = run->next;
        if (run->empty == run->carved) FreeRun(run);
        run = next;
    }
    mKept = 0;
}

BlockPool3ds::Slab* BlockPool3ds::NewSlab(int cls) {
    Slab* slab = mEmpty;
    if (slab) {
        Remove(mEmpty, slab);
        Run* run = slab->run;
        if (run->empty-- == run->carved) --mKept;
    } else {
        if (!mCarving || mCarving->carved == RunSlabs) {
            Run* run = new (std::nothrow) Run{nullptr, 0, 0, mRuns, nullptr};
            if (!run) return nullptr;
            run->base = static_cast<std::uint8_t*>(std::aligned_alloc(SlabSize, SlabSize * RunSlabs));
            if (!run->base) {
                delete run;
                return nullptr;
            }
            if (mRuns) mRuns->prev = run;
            mRuns = run;
            mCarving = run;
            ++mRunCount;
        }
        slab = new (mCarving->base + SlabSize * mCarving->carved++) Slab{};
        slab->run = mCarving;
    }
    slab->free = 0;
    slab->fresh = kFirstBlock;
    slab->used = 0;
    slab->size = blockpool3ds::kSizes[cls];
    slab->cls = static_cast<std::uint8_t>(cls);
    slab->room = true;
    Push(mRoom[cls], slab);
    return slab;
}

// A slab without blocks waits for any size; a run whose slabs are all empty goes
// back to the heap, but for a few kept for the next file.
void BlockPool3ds::Empty(Slab* slab) {
    slab->room = false;
    Push(mEmpty, slab);
    Run* run = slab->run;
    if (++run->empty < run->carved) return;
    if (mKept < KeptRuns)
        ++mKept;
    else
        FreeRun(run);
}

void BlockPool3ds::FreeRun(Run* run) {
    for (std::uint32_t i = 0; i < run->carved; ++i) Remove(mEmpty, reinterpret_cast<Slab*>(run->base + SlabSize * i));
    if (mCarving == run) mCarving = nullptr;
    if (run->prev)
        run->prev->next = run->next;
    else
        mRuns = run->next;
    if (run->next) run->next->prev = run->prev;
    std::free(run->base);
    delete run;
    --mRunCount;
}

void BlockPool3ds::Push(Slab*& head, Slab* slab) {
    slab->prev = nullptr;
    slab->next = head;
    if (head) head->prev = slab;
    head = slab;
}

void BlockPool3ds::Remove(Slab*& head, Slab* slab) {
    if (slab->prev)
        slab->prev->next = slab->next;
    else
        head = slab->next;
    if (slab->next) slab->next->prev = slab->prev;
    slab->next = slab->prev = nullptr;
}

// Constant-initialised and never destroyed: blocks may be freed by other static
// destructors at exit.
BlockPool3ds gBlockPool3ds;

}  // namespace toolkit3ds
}  // namespace zeqsdk_400
