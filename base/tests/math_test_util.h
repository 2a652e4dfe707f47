#ifndef ZEQ_BASE_TESTS_MATH_TEST_UTIL_H
#define ZEQ_BASE_TESTS_MATH_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/kgemath.h"

namespace zeqsdk_400 {
namespace mathtest {

constexpr double kTol = 1e-9;

inline void Fill(double (*m)[4], double value) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = value;
}

inline void Identity(double (*m)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

// Affine matrix T . R . S in this library's layout: rotation XYZ in degrees,
// row i scaled by s[i], t in row 3.
inline void Affine(double (*m)[4], double tx, double ty, double tz, double rx, double ry, double rz, double sx,
                   double sy, double sz) {
    Identity(m);
    KmXYZtoR(m, rx, ry, rz);
    const double s[3] = {sx, sy, sz};
    KmRS(m, m, s);
    m[3][0] = tx;
    m[3][1] = ty;
    m[3][2] = tz;
}

// p . M for a point (w = 1).
inline void Apply(const double (*m)[4], const double* p, double* out) {
    for (int j = 0; j < 3; ++j) out[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
}

inline bool AllFinite(const double (*m)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!std::isfinite(m[i][j])) return false;
    return true;
}

inline ::testing::AssertionResult BlockNear(const double (*a)[4], const double (*b)[4], double tol = kTol,
                                            int rows = 3, int cols = 3) {
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            if (!(std::fabs(a[i][j] - b[i][j]) <= tol))
                return ::testing::AssertionFailure()
                       << "element [" << i << "][" << j << "]: " << a[i][j] << " vs " << b[i][j];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult AffineNear(const double (*a)[4], const double (*b)[4], double tol = kTol) {
    return BlockNear(a, b, tol, 4, 3);
}

inline ::testing::AssertionResult IsIdentityBlock(const double (*a)[4], double tol = kTol, int rows = 3) {
    double id[4][4];
    Identity(id);
    return BlockNear(a, id, tol, rows, 3);
}

inline double Det3(const double (*m)[4]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Orthonormal rows and determinant +1.
inline ::testing::AssertionResult IsRotation(const double (*m)[4], double tol = 1e-9) {
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) {
            const double d = m[i][0] * m[k][0] + m[i][1] * m[k][1] + m[i][2] * m[k][2];
            if (!(std::fabs(d - (i == k ? 1.0 : 0.0)) <= tol))
                return ::testing::AssertionFailure() << "rows " << i << "," << k << " dot " << d;
        }
    if (!(std::fabs(Det3(m) - 1.0) <= tol)) return ::testing::AssertionFailure() << "det " << Det3(m);
    return ::testing::AssertionSuccess();
}

// Single-axis row-vector rotation built through the XYZ kernel.
inline void AxisRotation(double (*m)[4], int axis, double degrees) {
    Identity(m);
    KmXYZtoR(m, axis == 0 ? degrees : 0.0, axis == 1 ? degrees : 0.0, axis == 2 ? degrees : 0.0);
}

inline std::mt19937& Rng() {
    static std::mt19937 rng(20260612u);
    return rng;
}

inline double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(Rng()); }

}  // namespace mathtest
}  // namespace zeqsdk_400

#endif
