#ifndef ZEQ_BASE_KGEMATH_H
#define ZEQ_BASE_KGEMATH_H

#include <type_traits>

namespace zeqsdk_400 {

// Matrix and rotation kernels on 4x4 doubles in the row-vector convention:
// a point p transforms as p . M, the 3x3 block holds rotation and scaling and
// row 3 the translation. Angles at the interface are in degrees.
//
// Where a kernel composes two matrices A and B "B applied first", the result is
// the row product B . A. Every kernel may be given the same array as output and
// operand.

// Affine and rotation matrices are plain 4x4 arrays so that a KZeqXMatrix can
// hand out its own storage as one without any copy or cast.
typedef double KgeAMatrix[4][4];
typedef double KgeRMatrix[4][4];

// Translation: x, y, z and a fourth component, 1 unless set otherwise.
struct KgeTVector {
    double mData[4];

    KgeTVector() : mData{0.0, 0.0, 0.0, 1.0} {}
    KgeTVector(double x, double y, double z, double w = 1.0) : mData{x, y, z, w} {}
    operator double*() { return mData; }
    operator const double*() const { return mData; }
};

// Euler rotation in degrees.
struct KgeRVector {
    double mData[3];

    KgeRVector() : mData{0.0, 0.0, 0.0} {}
    KgeRVector(double x, double y, double z) : mData{x, y, z} {}
    operator double*() { return mData; }
    operator const double*() const { return mData; }
};

// Scaling; the default is no scaling.
struct KgeSVector {
    double mData[3];

    KgeSVector() : mData{1.0, 1.0, 1.0} {}
    KgeSVector(double x, double y, double z) : mData{x, y, z} {}
    operator double*() { return mData; }
    operator const double*() const { return mData; }
};

// Quaternion x, y, z, w (scalar last); the default is the identity rotation.
struct KgeQuaternion {
    double mData[4];

    KgeQuaternion() : mData{0.0, 0.0, 0.0, 1.0} {}
    KgeQuaternion(double x, double y, double z, double w) : mData{x, y, z, w} {}
    operator double*() { return mData; }
    operator const double*() const { return mData; }
};

struct KgeRGBVector {
    double mData[3];

    KgeRGBVector() : mData{0.0, 0.0, 0.0} {}
    KgeRGBVector(double r, double g, double b) : mData{r, g, b} {}
    operator double*() { return mData; }
    operator const double*() const { return mData; }
};

static_assert(std::is_trivially_copyable<KgeTVector>::value, "stored as bytes");
static_assert(std::is_trivially_copyable<KgeRVector>::value, "stored as bytes");
static_assert(std::is_trivially_copyable<KgeSVector>::value, "stored as bytes");
static_assert(std::is_trivially_copyable<KgeQuaternion>::value, "stored as bytes");
static_assert(std::is_trivially_copyable<KgeRGBVector>::value, "stored as bytes");
static_assert(sizeof(KgeTVector) == 4 * sizeof(double), "four packed doubles");

// Degrees <-> radians, with the factors the stored files were written with.
constexpr double KM_RAD_TO_DEG = 57.29577951308232;
constexpr double KM_DEG_TO_RAD = 0.017453292519943295;

// out = B . A as affine matrices (B applied first, then A), translation
// included; column 3 of out is not written.
void KmAA(double (*out)[4], const double (*a)[4], const double (*b)[4]);
// Inverse of an affine matrix whose 3x3 rows are orthogonal (rotation times
// scaling): the block transposed with each source row divided by its squared
// length, and the matching translation. A zero row inverts to a zero column
// (the pseudo-inverse). Column 3 of out is not written.
void KmAi(double (*out)[4], const double (*a)[4]);
// out = B . inverse(A): B applied first, then the inverse of A. Any invertible
// affine A is accepted; a singular one falls back to KmAi's pseudo-inverse.
// Column 3 of out is not written.
void KmAiA(double (*out)[4], const double (*a)[4], const double (*b)[4]);

// 3x3 blocks only; row 3 and column 3 of out are not touched.
// out = B . A (B applied first, then A).
void KmRR(double (*out)[4], const double (*a)[4], const double (*b)[4]);
// out = transpose of A (the inverse of a rotation).
void KmRi(double (*out)[4], const double (*a)[4]);
// out = B . transpose(A).
void KmRiR(double (*out)[4], const double (*a)[4], const double (*b)[4]);
// Row i of A times s[i].
void KmRS(double (*out)[4], const double (*a)[4], const double* s);

// Hamilton product a x b of quaternions (x, y, z, w). In rotation terms
// KmQtoR(a x b) equals KmRR(KmQtoR(a), KmQtoR(b)): b applied first.
void KmQQ(double* out, const double* a, const double* b);
// Rotation block of a quaternion, scaled by 2/|q|^2 so that any non-zero
// quaternion gives a rotation; the zero quaternion gives the identity.
void KmQtoR(double (*m)[4], const double* q);
// Unit quaternion of a rotation block, with w >= 0.
void KmRtoQ(double* q, const double (*m)[4]);

// Euler XYZ angles (X applied first) of a rotation block. At gimbal lock
// (|m[0][2]| >= 0.999999) Y is -90 or +90 and Z is 0.
void KmRtoVXYZ(double* v, const double (*m)[4]);
// Rotation block from Euler angles, X applied first, then Y, then Z.
void KmXYZtoR(double (*m)[4], double x, double y, double z);

// The 12 Euler orders, three axis indices (0 X, 1 Y, 2 Z) each, indexed by
// order x 3, first axis applied first: 0 XYZ, 1 XYX, 2 XZY, 3 XZX, 4 YZX,
// 5 YZY, 6 YXZ, 7 YXY, 8 ZXY, 9 ZXZ, 10 ZYX, 11 ZYZ. Even orders use three
// distinct axes, odd orders repeat the first axis.
extern const int KmEulerAxis[36];
constexpr int KM_EULER_ORDER_COUNT = 12;

// Rotation block for an Euler order of KmEulerAxis. For the even orders a, b
// and c are the angles about X, Y and Z (whatever the sequence); for the odd
// orders they are the angles of the first, second and third rotation. An order
// outside 0 to 11 is taken as 0. Row 3 and column 3 are not touched.
void KmIJKtoR(double (*m)[4], double a, double b, double c, int order);
// Euler angles of a rotation block for an order of KmEulerAxis, in the order's
// axis sequence (v[0] about the first axis applied). Near gimbal lock the
// third angle is 0. An order outside 0 to 11 is taken as 0.
void KmRtoVord(double* v, const double (*m)[4], int order);

// Of the Euler triples equivalent to in (whole turns added to any angle, or
// the other solution of the same rotation), writes into out the one closest to
// ref. The triple is laid out as KmIJKtoR takes it for the order whose row of
// KmEulerAxis is axis. Answers true when the other solution (first and last
// angles plus 180, middle angle mirrored) was chosen. out may be in.
bool KVNGetContinuousRotation(double* out, const double* in, const double* ref, const int* axis);

// Rotation block of r: the 3x3 block of a with each row divided by its own
// length (a mirroring block stays mirroring; a zero row stays zero). Row 3 and
// column 3 of r keep their values.
void KgeSetRM(KgeRMatrix& r, const KgeAMatrix& a);
// The unnormalised quaternion turning the X axis onto the unit vector v:
// (0, -v.z, v.y, 1 + v.x).
void KgeSetQuaternion(KgeQuaternion& q, const KgeTVector& v);
// Unit quaternion of the shortest rotation taking the direction of from onto
// that of to (x, y, z of each). Opposite directions turn by 180 degrees about
// an axis perpendicular to from; a zero vector gives the identity.
void GetQuaternionFromPositionToPosition(KgeQuaternion& q, const KgeTVector& from, const KgeTVector& to);

}  // namespace zeqsdk_400

#endif
