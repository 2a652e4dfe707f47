#ifndef ZEQ_BASE_TESTS_BASE_TEST_SUPPORT_H
#define ZEQ_BASE_TESTS_BASE_TEST_SUPPORT_H

// Matrix builders and checks shared by the tests of the math types and kernels.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "base/kgemath.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {
namespace basetest {

using TRS = std::array<double, 9>;  // translation, Euler XYZ rotation in degrees, scaling

inline void Fill(double (*m)[4], double value) { for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = value; }
inline void Identity(double (*m)[4]) { for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = i / 4 == i % 4 ? 1.0 : 0.0; }

// A 4x4 matrix as a value, for kernels that write through an out-parameter.
struct Mat {
    using Rows = double (*)[4];
    using ConstRows = const double (*)[4];
    double m[4][4] = {};
    operator Rows() { return m; }
    operator ConstRows() const { return m; }
};

constexpr double kSentinel = 7.25;  // in the elements a kernel must not write

// What kernel k writes into a matrix first filled with kSentinel.
template <class Kernel, class... Args>
Mat Apply(Kernel k, const Args&... args) {
    Mat out;
    Fill(out, kSentinel);
    k(out, args...);
    return out;
}

// T . R . S in this library's layout: row i of the rotation scaled by s[i], t in row 3.
inline Mat AffineOf(const TRS& v) {
    Mat out = Apply(Identity);
    KmXYZtoR(out, v[3], v[4], v[5]);
    KmRS(out, out, &v[6]);
    for (int j = 0; j < 3; ++j) out.m[3][j] = v[j];
    return out;
}

inline Mat XYZ(double x, double y, double z) { return Apply(KmXYZtoR, x, y, z); }
inline double Dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline bool AllFinite(const double* values, int count = 16) {
    return std::all_of(values, values + count, [](double v) { return std::isfinite(v); });
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
    return BlockNear(a, Apply(Identity), tol, rows);
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
    const Mat mmt = Apply(KmRiR, m, m);  // m . transpose(m)
    const double det = KZeqVector4(m[0]).DotProduct(KZeqVector4(m[1]).CrossProduct(KZeqVector4(m[2])));
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
    const int* axis = &KmEulerAxis[info.param * 3];
    return {"XYZ"[axis[0]], "XYZ"[axis[1]], "XYZ"[axis[2]]};
}

// Reproducible random numbers.
inline double Uniform(double lo, double hi) {
    static std::mt19937 rng(20260612u);
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

}  // namespace basetest
}  // namespace zeqsdk_400

#endif
