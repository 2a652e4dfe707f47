#ifndef ZEQ_BASE_TESTS_COUNTING_NEW_H
#define ZEQ_BASE_TESTS_COUNTING_NEW_H

// A global operator new that counts what a program takes and gives back: live
// blocks, their usable bytes, the peak of those bytes and every allocation,
// and can be made to fail one allocation. It replaces the program's own, so
// include this header in exactly one source file of a test or benchmark program.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace countingnew {

inline std::atomic<long long> gBlocks{0};       // live blocks
inline std::atomic<long long> gBytes{0};        // their usable bytes
inline std::atomic<long long> gPeak{0};         // highest gBytes since a caller last set it
inline std::atomic<long long> gAllocations{0};  // blocks ever taken
inline std::atomic<long long> gFailIn{-1};       // allocations left before one fails; below 0 none does
inline std::atomic<bool> gFailed{false};         // set when one failed

inline void* Take(std::size_t size) {
    if (gFailIn.load(std::memory_order_relaxed) >= 0 && gFailIn.fetch_sub(1) == 0) {
        gFailed = true;
        throw std::bad_alloc();
    }
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    ++gBlocks;
    ++gAllocations;
    const long long now = gBytes += static_cast<long long>(malloc_usable_size(p));
    for (long long peak = gPeak.load(); now > peak && !gPeak.compare_exchange_weak(peak, now);) {
    }
    return p;
}

inline void Give(void* p) {
    if (!p) return;
    --gBlocks;
    gBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}

}  // namespace countingnew

// The replacements pair malloc with free, which the compiler cannot see through.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) { return countingnew::Take(size); }
void* operator new[](std::size_t size) { return countingnew::Take(size); }
void operator delete(void* p) noexcept { countingnew::Give(p); }
void operator delete[](void* p) noexcept { countingnew::Give(p); }
void operator delete(void* p, std::size_t) noexcept { countingnew::Give(p); }
void operator delete[](void* p, std::size_t) noexcept { countingnew::Give(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countingnew::Take(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countingnew::Give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countingnew::Give(p); }
#pragma GCC diagnostic pop

#endif
