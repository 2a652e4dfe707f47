#include "base/kstepcount.h"

namespace zeqsdk_400 {

std::atomic<std::uint64_t*> stepcount_detail::gSinks[static_cast<int>(KStepKind::eCount)] = {};

KStepCountScope::KStepCountScope(KStepKind kind)
    : mKind(kind), mOuter(stepcount_detail::gSinks[static_cast<int>(kind)].exchange(&mSteps)) {}

KStepCountScope::~KStepCountScope() { stepcount_detail::gSinks[static_cast<int>(mKind)].store(mOuter); }

}  // namespace zeqsdk_400
