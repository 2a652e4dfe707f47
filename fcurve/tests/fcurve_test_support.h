#ifndef ZEQ_FCURVE_TESTS_FCURVE_TEST_SUPPORT_H
#define ZEQ_FCURVE_TESTS_FCURVE_TEST_SUPPORT_H

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

// The curve's values at n + 1 evenly spread times over [from, to].
inline std::vector<float> Sample(KFCurve& curve, double from, double to, int n) {
    std::vector<float> values;
    for (int k = 0; k <= n; ++k) values.push_back(curve.Evaluate(Sec(from + (to - from) * k / n)));
    return values;
}

}  // namespace fcurvetest

#endif
