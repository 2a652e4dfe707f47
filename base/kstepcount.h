#ifndef ZEQ_BASE_KSTEPCOUNT_H
#define ZEQ_BASE_KSTEPCOUNT_H

#include <atomic>
#include <cstdint>

namespace zeqsdk_400 {

namespace stepcount_detail {
extern std::atomic<std::uint64_t*> gSink;
}

// Adds steps (names compared, entries or nodes visited) of a search or walk whose total must stay
// near n log n, for the tests that bound it. Without a KStepCountScope open this is a load and a
// branch not taken; callers count in a local variable and report once per search.
inline void KCountSteps(std::uint64_t steps) {
    if (std::uint64_t* sink = stepcount_detail::gSink.load(std::memory_order_relaxed)) *sink += steps;
}

// Sums every step counted while it is open: one scope at a time, on the thread doing the work (a
// test's).
class KStepCountScope {
public:
    KStepCountScope();
    KStepCountScope(const KStepCountScope&) = delete;
    KStepCountScope& operator=(const KStepCountScope&) = delete;
    ~KStepCountScope();
    std::uint64_t GetSteps() const { return mSteps; }

private:
    std::uint64_t mSteps = 0;
    std::uint64_t* mOuter;
};

}  // namespace zeqsdk_400

#endif
