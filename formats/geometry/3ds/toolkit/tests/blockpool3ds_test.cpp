// The block pool under the chunk nodes and data records.

#include "formats/geometry/3ds/toolkit/blockpool3ds.h"

#include <cstdint>
#include <map>

#include <gtest/gtest.h>

namespace {

using zeqsdk_400::toolkit3ds::BlockPool3ds;

// A random run of allocations and frees of every size against a plain model: each
// block comes zeroed and aligned, keeps the pattern written into it while others
// come and go (no two live blocks overlap), and once all are freed the pool keeps
// a few runs for what comes next and can give all back to the heap.
TEST(BlockPool3ds, BlocksStayApartAndRunsGoBackWhenEmpty) {
    BlockPool3ds pool;
    struct Live {
        std::uint8_t* block;
        std::size_t size;
    };
    std::map<std::uint32_t, Live> live;
    std::uint32_t seed = 1, id = 0;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    auto check = [](const Live& l, std::uint32_t key) {
        for (std::size_t i = 0; i < l.size; ++i)
            if (l.block[i] != static_cast<std::uint8_t>(key + i)) return false;
        return true;
    };
    for (int step = 0; step < 200000; ++step) {
        // Waves: grow to tens of thousands of blocks, then shrink to few.
        const bool grow = (step / 50000) % 2 == 0 ? next(10) < 7 : next(10) < 3;
        if (grow || live.empty()) {
            const std::size_t size = 1 + next(BlockPool3ds::MaxBlock);
            auto* block = static_cast<std::uint8_t*>(pool.Allocate(size));
            ASSERT_NE(block, nullptr);
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % (size > 4 ? 8 : 4), 0u) << size;
            for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "block of " << size << " not zeroed";
            for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<std::uint8_t>(id + i);
            live[id++] = {block, size};
        } else {
            auto it = live.lower_bound(next(id + 1));
            if (it == live.end()) it = live.begin();
            ASSERT_TRUE(check(it->second, it->first)) << "block " << it->first << " was overwritten";
            pool.Free(it->second.block);
            live.erase(it);
        }
    }
    for (auto& [key, l] : live) {
        ASSERT_TRUE(check(l, key));
        pool.Free(l.block);
    }
    // A few empty runs stay for the next blocks, the rest went back already.
    const std::size_t kept = pool.RunCount();
    EXPECT_GE(kept, 1u);
    EXPECT_LE(kept, BlockPool3ds::KeptRuns);
    pool.Free(pool.Allocate(40));
    EXPECT_EQ(pool.RunCount(), kept);
    pool.Trim();
    EXPECT_EQ(pool.RunCount(), 0u);
    pool.Free(nullptr);
    EXPECT_EQ(pool.Allocate(0), nullptr);
    EXPECT_EQ(pool.Allocate(BlockPool3ds::MaxBlock + 1), nullptr);
}

}  // namespace
