// Key sync builds each curve's keys in one pass; these cases check that the
// result is exactly that of inserting every key into the whole curve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::MakeKey;

namespace {

// Every union time inside [start, stop] inserted with KeyInsert into the
// whole curve, its value taken from a copy of the curve as it was.
void SyncByInsertion(std::vector<KFCurve*> curves, KTime start, KTime stop) {
    std::vector<std::unique_ptr<KFCurve>> copies;
    for (KFCurve* curve : curves) {
        copies.push_back(std::make_unique<KFCurve>());
        copies.back()->CopyFrom(*curve, true);
    }
    std::vector<KTime> times;
    for (KFCurve* curve : curves)
        for (int i = 0; i < curve->KeyGetCount(); ++i) {
            const KTime t = curve->KeyGetPtr(i)->GetTime();
            if (t >= start && t <= stop) times.push_back(t);
        }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    for (KTime t : times)
        for (size_t c = 0; c < curves.size(); ++c) {
            const int index = curves[c]->KeyInsert(t);
            ASSERT_GE(index, 0);
            KFCurveKey key = curves[c]->KeyGet(index);
            key.SetValue(copies[c]->Evaluate(t));
            curves[c]->KeySet(index, key);
        }
}

KFCurveKey RandomKey(std::mt19937& rng) {
    const float value = static_cast<float>(rng() % 200) * 0.05f - 5.0f;
    const float slope = static_cast<float>(rng() % 7) - 3.0f;
    switch (rng() % 8) {
        case 0:
            return MakeKey(value, fcurvetest::kLinear);
        case 1:
            return MakeKey(value, fcurvetest::kConstant);
        case 2:
            return MakeKey(value, fcurvetest::kCubic, KFCURVE_TANGEANT_AUTO, (rng() % 2) ? 40.0f : 0.0f);
        case 3:
            return MakeKey(value, fcurvetest::kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 0.0f, 20.0f);
        case 4:
            return MakeKey(value, fcurvetest::kCubic, KFCURVE_TANGEANT_USER, slope, slope);
        case 5:
            return MakeKey(value, fcurvetest::kCubic, KFCURVE_TANGEANT_USER_BREAK, slope, -slope, KFCURVE_WEIGHTED_ALL,
                           0.15f, 0.5f);
        case 6:
            return fcurvetest::TcbKey(value, 0.2f, (rng() % 2) ? 0.0f : -0.4f, 0.1f);
        default:
            return MakeKey(value, fcurvetest::kCubic, KFCURVE_TANGEANT_USER, slope, slope, KFCURVE_WEIGHTED_ALL, 0.3f,
                           0.2f);
    }
}

void RandomCurve(std::mt19937& rng, KFCurve& curve, int keys) {
    kLongLong t = static_cast<kLongLong>(rng() % 5) * 1000;
    for (int k = 0; k < keys; ++k) {
        KFCurveKey key = RandomKey(rng);
        curve.KeyAdd(KTime(t), key);
        t += 1 + static_cast<kLongLong>(rng() % 4) * 1000;
    }
    curve.SetValue(static_cast<float>(rng() % 10));
    // Outside the keys the value depends on every key (cycles of the whole
    // key range), so all modes are tried.
    curve.SetPreExtrapolation(1 + static_cast<int>(rng() % 4));
    curve.SetPreExtrapolationCount(rng() % 3 == 0 ? 0xFFFFFFFFu : static_cast<unsigned int>(rng() % 3));
    curve.SetPostExtrapolation(1 + static_cast<int>(rng() % 4));
    curve.SetPostExtrapolationCount(static_cast<unsigned int>(rng() % 3));
}

class KeySyncAgainstInsertion : public ::testing::TestWithParam<int> {};

TEST_P(KeySyncAgainstInsertion, SameKeysAsInsertingIntoTheWholeCurve) {
    std::mt19937 rng(static_cast<unsigned>(GetParam()));
    for (int round = 0; round < 25; ++round) {
        const int n = 2 + static_cast<int>(rng() % 3);
        std::vector<std::unique_ptr<KFCurve>> curves, expected;
        std::vector<KFCurve*> list, expectedList;
        for (int c = 0; c < n; ++c) {
            curves.push_back(std::make_unique<KFCurve>());
            RandomCurve(rng, *curves.back(), static_cast<int>(rng() % 40));
            expected.push_back(std::make_unique<KFCurve>());
            expected.back()->CopyFrom(*curves.back(), true);
            list.push_back(curves.back().get());
            expectedList.push_back(expected.back().get());
        }
        KFCurveFilterKeySync filter;
        KTime start = KTime::MinusInfinite(), stop = KTime::Infinite();
        if (rng() % 2) start = KTime(static_cast<kLongLong>(rng() % 40000));
        if (rng() % 2) stop = KTime(static_cast<kLongLong>(rng() % 80000));
        filter.SetStartTime(start);
        filter.SetStopTime(stop);
        if (rng() % 4 == 0) list[0]->CandidateSet(KTime(static_cast<kLongLong>(rng() % 40) * 1000 + 1), 3.5);
        if (list[0]->IsCandidate()) expectedList[0]->CandidateSet(list[0]->CandidateGetTime(), list[0]->CandidateGet());

        ASSERT_TRUE(filter.Apply(list.data(), n));
        SyncByInsertion(expectedList, start, stop);
        for (int c = 0; c < n; ++c) {
            ASSERT_EQ(list[c]->KeyGetCount(), expectedList[c]->KeyGetCount()) << "round " << round << " curve " << c;
            for (int k = 0; k < list[c]->KeyGetCount(); ++k)
                ASSERT_EQ(std::memcmp(list[c]->KeyGetPtr(k), expectedList[c]->KeyGetPtr(k), sizeof(KFCurveKey)), 0)
                    << "round " << round << " curve " << c << " key " << k;
            EXPECT_TRUE(list[c]->CheckCurve());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, KeySyncAgainstInsertion, ::testing::Range(1, 13));

void CountEvents(KFCurve*, KFCurveEvent*, void* data) { ++*static_cast<int*>(data); }

TEST(KeySyncWindow, EachCurveHearsOneEvent) {
    KFCurve a, b;
    for (int k = 0; k < 100; ++k) {
        KFCurveKey key = MakeKey(static_cast<float>(k));
        a.KeyAdd(KTime(2 * k * 1000), key);
        b.KeyAdd(KTime((2 * k + 1) * 1000), key);
    }
    int events = 0;
    a.CallbackRegister(CountEvents, &events);
    KFCurve* both[] = {&a, &b};
    KFCurveFilterKeySync filter;
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(a.KeyGetCount(), 200);
    EXPECT_EQ(events, 1);
    a.CallbackUnregister(CountEvents, &events);
}

}  // namespace
