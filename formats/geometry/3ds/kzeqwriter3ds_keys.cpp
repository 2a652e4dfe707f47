// Scene curves resampled into 3DS track keys: one key per frame at 30 frames
// per second, frames 0 to count - 1, tension, continuity and bias flagged and 0.

#include <cmath>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/kzeqwriter3ds_motion.h"
#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

namespace {

using motion3ds::FrameTime;
using motion3ds::RotationRows;

void FillHeader(keyheader3ds& key, std::uint32_t frame) {
    key.time = frame;
    key.rflags = KeyUsesTension3ds | KeyUsesCont3ds | KeyUsesBias3ds;
    key.tension = key.continuity = key.bias = key.easeto = key.easefrom = 0.0f;
}

// Samples the curves at each frame; each curve keeps its own search hint, so
// a whole track costs one pass over the keys.
template <int N, class Store>
void Resample(keyheader3ds* keys, KFCurve* const (&curves)[N], std::uint32_t count, Store store) {
    int hints[N];
    for (int& hint : hints) hint = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const KTime time = FrameTime(i);
        double value[N];
        for (int c = 0; c < N; ++c) value[c] = curves[c]->Evaluate(time, &hints[c]);
        FillHeader(keys[i], i);
        store(i, value);
    }
}

// Row-vector rotation of Euler XYZ degrees (X applied first).
void EulerMatrix(double (*m)[4], double x, double y, double z) {
    double rows[3][3];
    RotationRows(rows, x, y, z);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r < 3 && c < 3 ? rows[r][c] : (r == c ? 1.0 : 0.0);
}

}  // namespace

bool KZeqWriter3DS::Create3DSTransDataFromTCB(keyheader3ds* keys, point3ds* values, KFCurve* x, KFCurve* y,
                                              KFCurve* z, std::uint32_t count) {
    KFCurve* const curves[3] = {x, y, z};
    Resample(keys, curves, count, [values](std::uint32_t i, const double* v) {
        values[i] = point3ds{static_cast<float>(v[0]), static_cast<float>(-v[2]), static_cast<float>(v[1])};
    });
    return true;
}

bool KZeqWriter3DS::Create3DSScaleDataFromTCB(keyheader3ds* keys, point3ds* values, KFCurve* x, KFCurve* y,
                                              KFCurve* z, std::uint32_t count) {
    KFCurve* const curves[3] = {x, y, z};
    Resample(keys, curves, count, [values](std::uint32_t i, const double* v) {
        const bool zero = std::fabs(v[0]) < 1e-5 && std::fabs(v[1]) < 1e-5 && std::fabs(v[2]) < 1e-5;
        values[i] = zero ? point3ds{1.0f, 1.0f, 1.0f}
                         : point3ds{static_cast<float>(v[0]), static_cast<float>(v[2]), static_cast<float>(v[1])};
    });
    return true;
}

bool KZeqWriter3DS::Create3DSColorDataFromTCB(keyheader3ds* keys, fcolor3ds* values, KFCurve* r, KFCurve* g,
                                              KFCurve* b, std::uint32_t count) {
    KFCurve* const curves[3] = {r, g, b};
    Resample(keys, curves, count, [values](std::uint32_t i, const double* v) {
        values[i] = fcolor3ds{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
    });
    return true;
}

bool KZeqWriter3DS::Create3DSScalarDataFromTCB(keyheader3ds* keys, float* values, KFCurve* c, std::uint32_t count) {
    KFCurve* const curves[1] = {c};
    Resample(keys, curves, count, [values](std::uint32_t i, const double* v) { values[i] = static_cast<float>(v[0]); });
    return true;
}

bool KZeqWriter3DS::Create3DSRotDataFromTCB(keyheader3ds* keys, kfrotkey3ds* values, KFCurve* x, KFCurve* y,
                                            KFCurve* z, std::uint32_t count) {
    KFCurve* const curves[3] = {x, y, z};
    double previous[4][4];
    EulerMatrix(previous, 0.0, 0.0, 0.0);
    Resample(keys, curves, count, [&](std::uint32_t i, const double* v) {
        double m[4][4], inverse[4][4], relative[4][4];
        EulerMatrix(m, v[0], v[1], v[2]);
        KmAi(inverse, previous);
        KmAA(relative, m, inverse);  // the previous orientation undone first, then this one
        relative[0][3] = relative[1][3] = relative[2][3] = 0.0;
        relative[3][3] = 1.0;
        double q[4];
        const double trace = (1.0 + relative[0][0] + relative[1][1] + relative[2][2]) / 4.0;
        if (trace > 1e-10) {
            q[3] = std::sqrt(trace);
            q[0] = (relative[1][2] - relative[2][1]) / (4.0 * q[3]);
            q[1] = (relative[2][0] - relative[0][2]) / (4.0 * q[3]);
            q[2] = (relative[0][1] - relative[1][0]) / (4.0 * q[3]);
        } else {
            KmRtoQ(q, relative);
            q[3] = 0.0;
        }
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) previous[r][c] = m[r][c];
        const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        for (int a = 0; a < 3; ++a) q[a] = n != 0.0 ? q[a] / n : 0.0;
        // Rounding can lift w a hair above 1 for a near-identity step.
        const double w = q[3] > 1.0 ? 1.0 : q[3];
        kfrotkey3ds key{static_cast<float>(-2.0 * std::acos(w)), static_cast<float>(q[0]), static_cast<float>(-q[2]),
                        static_cast<float>(q[1])};
        if (std::fabs(key.x) < 1e-5f && std::fabs(key.y) < 1e-5f && std::fabs(key.z) < 1e-5f &&
            std::fabs(key.angle) < 1e-5f) {
            key.angle = 0.0f;
            key.x = -1.0f;
        }
        values[i] = key;
    });
    return true;
}

}  // namespace zeqsdk_400
