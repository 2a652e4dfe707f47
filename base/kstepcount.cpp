#include "base/kstepcount.h"

namespace zeqsdk_400 {

std::atomic<std::uint64_t*> stepcount_detail::gSink{nullptr};

KStepCountScope::KStepCountScope() : mOuter(stepcount_detail::gSink.exchange(&mSteps)) {}

KStepCountScope::~KStepCountScope() { stepcount_detail::gSink.store(mOuter); }

}  // namespace zeqsdk_400
