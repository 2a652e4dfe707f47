#ifndef ZEQ_BASE_KZEQMATRIX_H
#define ZEQ_BASE_KZEQMATRIX_H

#include <type_traits>

#include "base/kgemath.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

// General 4x4 matrix of doubles, row-major, in the row-vector convention with
// the translation in row 3; the identity by default. The storage converts in
// place to KgeAMatrix (and so to the kernels' double (*)[4]).
class KZeqMatrix {
public:
    // Tolerance of operator== on each element.
    static constexpr double kEqualTolerance = 1e-6;

    KZeqMatrix() { SetIdentity(); }
    // The affine matrix of a translation, Euler XYZ rotation in degrees and
    // scaling (see SetTRS).
    KZeqMatrix(const KZeqVector4& t, const KZeqVector4& r, const KZeqVector4& s) { SetTRS(t, r, s); }

    void SetIdentity();
    // Rotation block of r (X applied first) with row i scaled by s[i], t's
    // x, y, z as row 3 and (0, 0, 0, 1) as column 3; only x, y, z are read.
    void SetTRS(const KZeqVector4& t, const KZeqVector4& r, const KZeqVector4& s);

    // A row as a 4-vector; the zero vector outside 0 to 3.
    KZeqVector4 GetRow(int row) const;

    bool operator==(const KZeqMatrix& other) const;
    bool operator!=(const KZeqMatrix& other) const { return !(*this == other); }

    // The sixteen doubles, row by row.
    operator double*() { return &mData[0][0]; }
    operator const double*() const { return &mData[0][0]; }
    operator KgeAMatrix&() { return mData; }
    operator const KgeAMatrix&() const { return mData; }

    double mData[4][4];
};

// The same storage read as an affine matrix built from translation, rotation
// (Euler XYZ in degrees or a quaternion) and scaling. The scaling is signed:
// when the 3x3 block mirrors (negative determinant) all three components are
// negative, so that GetT, GetR and GetS recompose to the same matrix.
class KZeqXMatrix : public KZeqMatrix {
public:
    KZeqXMatrix() = default;
    KZeqXMatrix(const KZeqVector4& t, const KZeqVector4& r, const KZeqVector4& s) : KZeqMatrix(t, r, s) {}
    explicit KZeqXMatrix(const KZeqMatrix& m) : KZeqMatrix(m) {}
    KZeqXMatrix& operator=(const KZeqMatrix& m);

    // Each with 0 as the fourth component.
    KZeqVector4 GetT() const;
    KZeqVector4 GetR() const;
    KZeqVector4 GetS() const;
    // The rotation as Euler XYZ angles in degrees by the general extraction (KmRtoVord), which
    // keeps a turn within a tenth of a degree of a quarter turn about Y that GetR takes for the
    // quarter turn itself.
    KZeqVector4 GetEulerXYZ() const;
    // The rotation as a unit quaternion (x, y, z, w) with w >= 0.
    KZeqQuaternion GetQ() const;

    // Each replaces one part and keeps the other two.
    void SetT(const KZeqVector4& t);
    void SetR(const KZeqVector4& r);
    void SetS(const KZeqVector4& s);
    void SetQ(const KZeqQuaternion& q);
    void SetTQS(const KZeqVector4& t, const KZeqQuaternion& q, const KZeqVector4& s);

    // The inverse; a singular block is pseudo-inverted (zero rows give zero
    // columns) rather than filled with infinities.
    KZeqXMatrix Inverse() const;
    // All sixteen elements transposed.
    KZeqXMatrix Transpose() const;
    // In a * b, b is applied first.
    KZeqXMatrix operator*(const KZeqXMatrix& b) const;
    // p.x x row 0 + p.y x row 1 + p.z x row 2 + row 3, with w = 0.
    KZeqVector4 MultT(const KZeqVector4& p) const;

private:
    void RotationAndScale(double (*rot)[4], double* s) const;
};

static_assert(std::is_trivially_copyable<KZeqMatrix>::value && sizeof(KZeqMatrix) == 128, "16 packed doubles");
static_assert(std::is_trivially_copyable<KZeqXMatrix>::value && sizeof(KZeqXMatrix) == 128, "16 packed doubles");

}  // namespace zeqsdk_400

#endif
