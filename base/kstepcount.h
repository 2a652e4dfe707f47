#ifndef ZEQ_BASE_KSTEPCOUNT_H
#define ZEQ_BASE_KSTEPCOUNT_H

#include <atomic>
#include <cstdint>

namespace zeqsdk_400 {

// What a step is: a name compared or an entry visited by a search of a list by name (or for an
// entry), a property's name read (what any search of properties by name compares), or a node
// visited by a walk of a hierarchy (the ancestry check of a join).
enum class KStepKind { eSearch, eWalk, eCount };

namespace stepcount_detail {
extern std::atomic<std::uint64_t*> gSinks[static_cast<int>(KStepKind::eCount)];
}

// Adds steps of a search or walk whose total must stay near n log n, for the tests that bound it.
// Without a KStepCountScope of the kind open this is a load and a branch not taken; callers count in
// a local variable and report once per search.
inline void KCountSteps(KStepKind kind, std::uint64_t steps) {
    if (std::uint64_t* sink = stepcount_detail::gSinks[static_cast<int>(kind)].load(std::memory_order_relaxed))
        *sink += steps;
}

// Sums the steps of its kind counted while it is open: one scope of a kind at a time, on the thread
// doing the work (a test's).
class KStepCountScope {
public:
    explicit KStepCountScope(KStepKind kind);
    KStepCountScope(const KStepCountScope&) = delete;
    KStepCountScope& operator=(const KStepCountScope&) = delete;
    ~KStepCountScope();
    std::uint64_t GetSteps() const { return mSteps; }

private:
    KStepKind mKind;
    std::uint64_t mSteps = 0;
    std::uint64_t* mOuter;
};

}  // namespace zeqsdk_400

#endif
