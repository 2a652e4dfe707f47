#ifndef ZEQ_OBJECT_KPROGRESS_H
#define ZEQ_OBJECT_KPROGRESS_H

#include <string>
#include <vector>

namespace zeqsdk_400 {

// Progress of a long operation in nested sections. DivideSection splits the
// span of the current part into equal parts, UpdateSection marks one part
// done, CloseSection leaves the section (its whole span then counts as done).
class KProgress {
public:
    KProgress();

    // Back to 0 %, no section, not cancelled.
    void ProgressBegin();
    // Fewer than one part counts as one.
    void DivideSection(int partCount);
    // One part of the current section done; null texts keep the previous ones.
    void UpdateSection(const char* status = nullptr, const char* detail = nullptr);
    void CloseSection();
    // 100 %, no section left.
    void ProgressDone();

    // 0 to 100.
    double GetProgress() const { return mPercent; }
    const char* GetStatus() const { return mStatus.c_str(); }
    const char* GetDetail() const { return mDetail.c_str(); }

    void Cancel() { mCanceled = true; }
    bool IsCanceled() const { return mCanceled; }

private:
    struct Section {
        double mStart;
        double mSpan;
        int mParts;
        int mDone;
    };
    std::vector<Section> mSections;
    double mPercent;
    bool mCanceled;
    std::string mStatus;
    std::string mDetail;
};

// The progress object of the library, made on first use.
KProgress* KGetGlobalProgress();

}  // namespace zeqsdk_400

#endif
