#include "fcurve/kfcurvefilterconstantkeyreducer.h"

#include <gtest/gtest.h>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

TEST(KFCurveFilterBase, StartAndStopKeysIncludeTheKeysJustOutsideTheSpan) {
    KFCurve curve, empty;
    Keys(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    KFCurveFilterConstantKeyReducer filter;  // any filter: the span is the base class's
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
