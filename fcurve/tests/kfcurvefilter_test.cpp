#include "fcurve/kfcurvefilter.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Records the curves it is asked about and applied to; refuses those in refuse.
class RecordingFilter : public KFCurveFilter {
public:
    RecordingFilter() : KFCurveFilter(eKFCurveFilterConstantKeyReducer) { Reset(); }

    bool NeedApply(KFCurveNode& node, bool recursive = true) override {
        return KFCurveFilter::NeedApply(node, recursive);
    }
    bool NeedApply(KFCurve** curves, int count) override { return KFCurveFilter::NeedApply(curves, count); }
    bool NeedApply(KFCurve& curve) override {
        asked.push_back(&curve);
        return true;
    }
    bool Apply(KFCurveNode& node, bool recursive = true) override { return KFCurveFilter::Apply(node, recursive); }
    bool Apply(KFCurve** curves, int count) override { return KFCurveFilter::Apply(curves, count); }
    bool Apply(KFCurve& curve) override {
        applied.push_back(&curve);
        for (KFCurve* c : refuse)
            if (c == &curve) {
                SetError(KFCURVEFILTER_ERROR_NO_KEY, "Recording, refused.");
                return false;
            }
        return true;
    }
    // A filter with no name and no message table.
    explicit RecordingFilter(std::nullptr_t) : KFCurveFilter(nullptr, nullptr, 3) {}
    void Fail() { SetError(1); }

    std::vector<KFCurve*> applied, asked, refuse;
};

TEST(KFCurveFilterBase, StartAndStopKeysIncludeTheKeysJustOutsideTheSpan) {
    KFCurve curve, empty;
    Keys(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    RecordingFilter filter;
    EXPECT_EQ(filter.GetStartKey(curve), 0);
    EXPECT_EQ(filter.GetStopKey(curve), 5);
    EXPECT_EQ(filter.GetStartKey(empty), -1);
    EXPECT_EQ(filter.GetStopKey(empty), -1);
    // Keys at 0 .. 4 s; a span's start (stop) time and its start (stop) key.
    const struct {
        double seconds;
        int key;
    } starts[] = {{-5, 0}, {1, 0}, {1.5, 0}, {2, 1}, {2.5, 1}, {4, 3}, {9, 3}},
      stops[] = {{9, 5}, {4, 5}, {3.5, 4}, {3, 4}, {2.5, 3}, {0, 1}, {-3, 1}};
    for (const auto& c : starts) {
        filter.SetStartTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStartKey(curve), c.key) << c.seconds;
    }
    filter.Reset();
    for (const auto& c : stops) {
        filter.SetStopTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStopKey(curve), c.key) << c.seconds;
    }
}

}  // namespace
