// Math value types of the host API stand-in. Row vectors: a point is multiplied on the left of a
// matrix, translation is row 3, and in A * B the left operand A is applied first.
#pragma once

#include "tstatus.h"

namespace TSpace {
enum Space { kInvalid = 0, kTransform = 1, kObject = 2, kWorld = 4 };
// Every call that takes a space accepts these three codes and fails on any other.
inline bool valid(int space) { return space == kTransform || space == kObject || space == kWorld; }
}

class TMatrix;

class TVector {
public:
    double x = 0, y = 0, z = 0;
    TVector() = default;
    TVector(double x_, double y_, double z_ = 0) : x(x_), y(y_), z(z_) {}
    explicit TVector(const class TPoint& p);
    double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : z; }
    double& operator[](unsigned i) { return i == 0 ? x : i == 1 ? y : z; }
    TVector operator+(const TVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
    TVector operator-(const TVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    TVector operator-() const { return {-x, -y, -z}; }
    TVector operator*(double s) const { return {x * s, y * s, z * s}; }
    double operator*(const TVector& o) const { return x * o.x + y * o.y + z * o.z; }
    TVector operator^(const TVector& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    // Directions ignore translation.
    TVector operator*(const TMatrix& m) const;
    bool operator==(const TVector& o) const { return x == o.x && y == o.y && z == o.z; }
    double length() const;
    TVector normal() const;
    bool isEquivalent(const TVector& o, double tolerance = 1e-10) const;
};

class TPoint {
public:
    double x = 0, y = 0, z = 0, w = 1;
    static const TPoint origin;
    TPoint() = default;
    TPoint(double x_, double y_, double z_ = 0, double w_ = 1) : x(x_), y(y_), z(z_), w(w_) {}
    explicit TPoint(const TVector& v) : x(v.x), y(v.y), z(v.z) {}
    double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    double& operator[](unsigned i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    // Scales x, y and z; w is kept.
    TPoint operator*(double s) const { return {x * s, y * s, z * s, w}; }
    TPoint operator*(const TMatrix& m) const;
    TVector operator-(const TPoint& o) const { return {x - o.x, y - o.y, z - o.z}; }
    TPoint operator+(const TVector& v) const { return {x + v.x, y + v.y, z + v.z, w}; }
    bool operator==(const TPoint& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool isEquivalent(const TPoint& o, double tolerance = 1e-10) const;
};

inline TVector::TVector(const TPoint& p) : x(p.x), y(p.y), z(p.z) {}

class TFloatVector {
public:
    float x = 0, y = 0, z = 0;
    TFloatVector() = default;
    TFloatVector(float x_, float y_, float z_ = 0) : x(x_), y(y_), z(z_) {}
    float operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : z; }
};

class TFloatPoint {
public:
    float x = 0, y = 0, z = 0, w = 1;
    TFloatPoint() = default;
    TFloatPoint(float x_, float y_, float z_ = 0, float w_ = 1) : x(x_), y(y_), z(z_), w(w_) {}
    float operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
};

class TColor {
public:
    float r = 0, g = 0, b = 0, a = 1;
    TColor() = default;
    TColor(float r_, float g_, float b_, float a_ = 1) : r(r_), g(g_), b(b_), a(a_) {}
    float operator[](unsigned i) const { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    bool operator==(const TColor& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

class TMatrix {
public:
    double matrix[4][4];
    static const TMatrix identity;
    TMatrix();  // identity
    explicit TMatrix(const double m[4][4]);
    double operator()(unsigned row, unsigned col) const { return matrix[row & 3][col & 3]; }
    double* operator[](unsigned row) { return matrix[row & 3]; }
    const double* operator[](unsigned row) const { return matrix[row & 3]; }
    TMatrix operator*(const TMatrix& right) const;
    TMatrix& operator*=(const TMatrix& right) { return *this = *this * right; }
    bool operator==(const TMatrix& o) const;
    bool operator!=(const TMatrix& o) const { return !(*this == o); }
    TMatrix transpose() const;
    TMatrix inverse() const;
    double det3x3() const;
    double det4x4() const;
    bool isEquivalent(const TMatrix& o, double tolerance = 1e-10) const;
    TStatus get(double out[4][4]) const;
};

class TEulerRotation;

class TQuaternion {
public:
    double x = 0, y = 0, z = 0, w = 1;
    TQuaternion() = default;
    TQuaternion(double x_, double y_, double z_, double w_) : x(x_), y(y_), z(z_), w(w_) {}
    // From the rotation block of a matrix (scale and translation ignored).
    explicit TQuaternion(const TMatrix& m);
    TMatrix asMatrix() const;
    TEulerRotation asEulerRotation() const;
    TQuaternion normal() const;
    TQuaternion conjugate() const { return {-x, -y, -z, w}; }
    // Left operand applied first, as for matrices.
    TQuaternion operator*(const TQuaternion& right) const;
    bool isEquivalent(const TQuaternion& o, double tolerance = 1e-10) const;  // q and -q alike
    double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
};

// Euler angles in radians; order ABC means R = R_A * R_B * R_C (A applied first).
class TEulerRotation {
public:
    enum RotationOrder { kXYZ = 0, kYZX = 1, kZXY = 2, kXZY = 3, kYXZ = 4, kZYX = 5 };
    double x = 0, y = 0, z = 0;
    RotationOrder order = kXYZ;

    TEulerRotation() = default;
    TEulerRotation(double x_, double y_, double z_, RotationOrder o = kXYZ) : x(x_), y(y_), z(z_), order(o) {}
    TEulerRotation(double x_, double y_, double z_, int o)
        : x(x_), y(y_), z(z_), order(static_cast<RotationOrder>(o >= 0 && o <= 5 ? o : 0)) {}
    double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : z; }
    double& operator[](unsigned i) { return i == 0 ? x : i == 1 ? y : z; }
    TMatrix asMatrix() const;
    TQuaternion asQuaternion() const;
    // The same orientation in another order, principal angles.
    TEulerRotation reorder(RotationOrder o) const;
    TEulerRotation reorder(int o) const { return reorder(static_cast<RotationOrder>(o >= 0 && o <= 5 ? o : 0)); }
    TStatus reorderIt(RotationOrder o) {
        *this = reorder(o);
        return TStatus::kSuccess;
    }
    // Principal angles of the rotation block of m in the given order.
    static TEulerRotation decompose(const TMatrix& m, RotationOrder o);
    bool isEquivalent(const TEulerRotation& o, double tolerance = 1e-10) const;  // same orientation
};

// A local transformation in components. Its matrix is
// Sp^-1 * S * Sp * Spt * Rp^-1 * Ra * R * Jo * Rp * Rpt * T (Ra and Jo in XYZ order).
class TTransformationMatrix {
public:
    enum RotationOrder { kInvalid = 0, kXYZ = 1, kYZX = 2, kZXY = 3, kXZY = 4, kYXZ = 5, kZYX = 6, kLast = 7 };

    TVector translate;
    TEulerRotation rotation;  // in its own order
    double scale[3] = {1, 1, 1};
    TEulerRotation rotateAxis;
    TEulerRotation jointOrient;
    TPoint rotatePivotPoint, scalePivotPoint;
    TVector rotatePivotTrans, scalePivotTrans;

    TTransformationMatrix() = default;
    explicit TTransformationMatrix(const TMatrix& m) { *this = m; }
    TMatrix asMatrix() const;
    // Decomposes into translation, rotation (kept order) and scale; pivots and axes reset.
    TTransformationMatrix& operator=(const TMatrix& m);
    RotationOrder rotationOrder() const { return static_cast<RotationOrder>(rotation.order + 1); }
    TStatus reorderRotation(RotationOrder order);
    TStatus reorderRotation(int order) { return reorderRotation(static_cast<RotationOrder>(order)); }
    // Space 1 or 2 gives E * R (E applied first), space 4 gives R * E; others fail.
    TStatus rotateBy(const TEulerRotation& e, int space, TStatus* status = nullptr);
    TEulerRotation eulerRotation() const { return rotation; }
    TVector getTranslation(int space = TSpace::kTransform, TStatus* status = nullptr) const;
};

class TPointArray : public TArray<TPoint> {
public:
    using TArray::TArray;
    TPointArray(const double values[][4], unsigned n) : TArray() {
        for (unsigned i = 0; i < n; ++i) v_.emplace_back(values[i][0], values[i][1], values[i][2], values[i][3]);
    }
    using TArray::append;
    TStatus append(double x, double y, double z, double w = 1) { return append(TPoint(x, y, z, w)); }
};
class TFloatPointArray : public TArray<TFloatPoint> {
public:
    using TArray::TArray;
    using TArray::append;
    TStatus append(float x, float y, float z, float w = 1) { return append(TFloatPoint(x, y, z, w)); }
};
class TVectorArray : public TArray<TVector> {
public:
    using TArray::TArray;
};
class TFloatVectorArray : public TArray<TFloatVector> {
public:
    using TArray::TArray;
};
class TColorArray : public TArray<TColor> {
public:
    using TArray::TArray;
};
