#ifndef ZEQ_FCURVE_TESTS_FCURVE_TEST_SUPPORT_H
#define ZEQ_FCURVE_TESTS_FCURVE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"

namespace fcurvetest {

using namespace zeqsdk_400;

inline KTime Sec(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

constexpr unsigned int kConstant = KFCURVE_INTERPOLATION_CONSTANT;
constexpr unsigned int kLinear = KFCURVE_INTERPOLATION_LINEAR;
constexpr unsigned int kCubic = KFCURVE_INTERPOLATION_CUBIC;

// A key of the given kind; data0 is the key's right derivative (or auto
// parameter), data1 the next key's left one.
inline KFCurveKey MakeKey(float value, unsigned int interpolation = kCubic, unsigned int mode = KFCURVE_TANGEANT_USER,
                          float data0 = 0.0f, float data1 = 0.0f, unsigned int weightMode = KFCURVE_WEIGHTED_NONE,
                          float weight0 = KFCURVE_DEFAULT_WEIGHT, float weight1 = KFCURVE_DEFAULT_WEIGHT) {
    KFCurveKey key{};
    key.Set(KTime(0), value, interpolation, mode, data0, data1, weightMode, weight0, weight1, 0.0f, 0.0f);
    return key;
}

inline KFCurveKey TcbKey(float value, float tension, float continuity, float bias) {
    KFCurveKey key{};
    key.SetTCB(KTime(0), value, tension, continuity, bias);
    return key;
}

inline void Add(KFCurve& curve, double seconds, KFCurveKey key) { curve.KeyAdd(Sec(seconds), key); }

// A number as part of a test name: "Minus" for the sign, "p" for the point.
inline std::string NameOf(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    std::string name;
    for (char c : text) name += c == '-' ? std::string("Minus") : c == '.' ? std::string("p") : std::string(1, c);
    return name;
}

// The curve's values at n + 1 evenly spread times over [from, to].
inline std::vector<float> Sample(KFCurve& curve, double from, double to, int n) {
    std::vector<float> values;
    for (int k = 0; k <= n; ++k) values.push_back(curve.Evaluate(Sec(from + (to - from) * k / n)));
    return values;
}

// Helpers of the tests of the curve itself, in their own namespace so that
// they never collide with the names of other test files.
namespace core {

// {type, first key, last key, count} of an event.
inline std::vector<int> Summary(const KFCurveEvent& e) {
    return {e.mType, e.mKeyIndexStart, e.mKeyIndexStop, e.mEventCount};
}

// Records every delivery of a curve's callbacks.
struct EventLog {
    std::vector<KFCurveEvent> events;
    static void Record(KFCurve*, KFCurveEvent* event, void* data) {
        static_cast<EventLog*>(data)->events.push_back(*event);
    }
    // The summary of the one event delivered; {} when there was not exactly one.
    std::vector<int> Single() const { return events.size() == 1 ? Summary(events[0]) : std::vector<int>{}; }
};

inline std::vector<double> KeyTimes(const KFCurve& curve) {
    std::vector<double> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime().GetSecondDouble());
    return times;
}

inline std::vector<float> KeyValues(const KFCurve& curve) {
    std::vector<float> values;
    for (int i = 0; i < curve.KeyGetCount(); ++i) values.push_back(curve.KeyGetPtr(i)->GetValue());
    return values;
}

// The left and right derivatives of key i.
inline std::vector<float> Derivatives(KFCurve& curve, int i) {
    return {curve.KeyGetLeftDerivative(i), curve.KeyGetRightDerivative(i)};
}

inline ::testing::AssertionResult KeysOrdered(const KFCurve& curve) {
    for (int i = 1; i < curve.KeyGetCount(); ++i)
        if (!(curve.KeyGetPtr(i - 1)->GetTime() < curve.KeyGetPtr(i)->GetTime()))
            return ::testing::AssertionFailure() << "key " << i << " is not after key " << i - 1;
    return ::testing::AssertionSuccess();
}

inline void SetExtrapolation(KFCurve& curve, int preMode, unsigned int preCount, int postMode,
                             unsigned int postCount) {
    curve.SetPreExtrapolation(preMode);
    curve.SetPreExtrapolationCount(preCount);
    curve.SetPostExtrapolation(postMode);
    curve.SetPostExtrapolationCount(postCount);
}

// Values (samples of two curves, derivatives) agree within tol x (1 + |expected|).
inline ::testing::AssertionResult AllNear(const std::vector<float>& expected, const std::vector<float>& actual,
                                          double tol) {
    if (expected.size() != actual.size()) return ::testing::AssertionFailure() << "the counts differ";
    for (std::size_t k = 0; k < expected.size(); ++k)
        if (!(std::abs(actual[k] - expected[k]) <= tol * (1.0 + std::abs(expected[k]))))
            return ::testing::AssertionFailure() << "at " << k << ": " << actual[k] << ", not " << expected[k];
    return ::testing::AssertionSuccess();
}

}  // namespace core

}  // namespace fcurvetest

#endif
