#ifndef ZEQ_BASE_TESTS_BASE_TEST_SUPPORT_H
#define ZEQ_BASE_TESTS_BASE_TEST_SUPPORT_H

// Matrix builders and checks shared by the tests of the math types and kernels.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include "base/kgemath.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {
namespace basetest {

using TRS = std::array<double, 9>;  // translation, Euler XYZ rotation in degrees, scaling

inline void Fill(double (*m)[4], double value) {
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = value;
}

inline void Identity(double (*m)[4]) {
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = i / 4 == i % 4 ? 1.0 : 0.0;
}

// T . R . S in this library's layout: row i of the rotation scaled by s[i], t in row 3.
inline void Affine(double (*m)[4], const TRS& v) {
    Identity(m);
    KmXYZtoR(m, v[3], v[4], v[5]);
    KmRS(m, m, &v[6]);
    for (int j = 0; j < 3; ++j) m[3][j] = v[j];
}

inline bool AllFinite(const double* values, int count = 16) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

inline bool AllFinite(const double (*m)[4]) { return AllFinite(&m[0][0]); }

// The first rows x 3 elements agree within tol (rows 4: the block and the translation).
inline ::testing::AssertionResult BlockNear(const double (*a)[4], const double (*b)[4], double tol, int rows = 3) {
    for (int i = 0; i < rows * 3; ++i)
        if (!(std::fabs(a[i / 3][i % 3] - b[i / 3][i % 3]) <= tol))
            return ::testing::AssertionFailure()
                   << "element [" << i / 3 << "][" << i % 3 << "]: " << a[i / 3][i % 3] << " vs " << b[i / 3][i % 3];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult IsIdentityBlock(const double (*a)[4], double tol, int rows = 3) {
    double id[4][4];
    Identity(id);
    return BlockNear(a, id, tol, rows);
}

// Column 3 (and row 3 when asked) still holds value: the kernel left it alone.
inline ::testing::AssertionResult EdgeIs(const double (*m)[4], double value, bool row3) {
    for (int i = 0; i < 4; ++i)
        if (m[i][3] != value || (row3 && m[3][i] != value))
            return ::testing::AssertionFailure() << "row or column 3 written at " << i;
    return ::testing::AssertionSuccess();
}

// Orthonormal rows and determinant +1.
inline ::testing::AssertionResult IsRotation(const double (*m)[4]) {
    double mmt[4][4];
    KmRiR(mmt, m, m);  // m . transpose(m)
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(std::fabs(det - 1.0) <= 1e-9)) return ::testing::AssertionFailure() << "det " << det;
    return IsIdentityBlock(mmt, 1e-9);
}

// The first n components agree within tol.
inline ::testing::AssertionResult VectorNear(const KZeqVector4& a, const KZeqVector4& b, double tol, int n = 3) {
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tol))
            return ::testing::AssertionFailure() << "component " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}

// An Euler order's axes ("XYZ", "ZXZ"), "SphericXYZ" past the table: parameterised test names.
inline std::string OrderName(const ::testing::TestParamInfo<int>& info) {
    if (info.param < 0 || info.param >= KM_EULER_ORDER_COUNT) return "SphericXYZ";
    std::string name;
    for (int k = 0; k < 3; ++k) name += "XYZ"[KmEulerAxis[info.param * 3 + k]];
    return name;
}

// Reproducible random numbers.
inline double Uniform(double lo, double hi) {
    static std::mt19937 rng(20260612u);
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

}  // namespace basetest
}  // namespace zeqsdk_400

#endif
