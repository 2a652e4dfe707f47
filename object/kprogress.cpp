#include "object/kprogress.h"

#include <algorithm>

namespace zeqsdk_400 {

KProgress::KProgress() : mPercent(0.0), mCanceled(false) {}

void KProgress::ProgressBegin() {
    mSections.clear();
    mPercent = 0.0;
    mCanceled = false;
    mStatus.clear();
    mDetail.clear();
}

void KProgress::DivideSection(int partCount) {
    Section section{0.0, 100.0, std::max(partCount, 1), 0};
    if (!mSections.empty()) {
        const Section& parent = mSections.back();
        const double part = parent.mSpan / parent.mParts;
        section.mStart = parent.mStart + part * std::min(parent.mDone, parent.mParts - 1);
        section.mSpan = part;
    }
    mSections.push_back(section);
}

void KProgress::UpdateSection(const char* status, const char* detail) {
    if (status) mStatus = status;
    if (detail) mDetail = detail;
    if (mSections.empty()) return;
    Section& section = mSections.back();
    if (section.mDone < section.mParts) ++section.mDone;
    mPercent = std::max(mPercent, section.mStart + section.mSpan * section.mDone / section.mParts);
}

void KProgress::CloseSection() {
    if (mSections.empty()) return;
    const Section section = mSections.back();
    mSections.pop_back();
    mPercent = std::max(mPercent, section.mStart + section.mSpan);
}

void KProgress::ProgressDone() {
    mSections.clear();
    mPercent = 100.0;
}

KProgress* KGetGlobalProgress() {
    // Destroyed with the library: a module unloaded by its host leaves nothing behind.
    static KProgress progress;
    return &progress;
}

}  // namespace zeqsdk_400
