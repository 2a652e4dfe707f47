#ifndef ZEQ_BASE_KZEQVECTOR_H
#define ZEQ_BASE_KZEQVECTOR_H

#include <type_traits>

namespace zeqsdk_400 {

// Two doubles (u, v), (0, 0) by default; compared exactly.
class KZeqVector2 {
public:
    KZeqVector2() : mData{0.0, 0.0} {}
    KZeqVector2(double x, double y) : mData{x, y} {}

    void Set(double x, double y) {
        mData[0] = x;
        mData[1] = y;
    }
    double& operator[](int index) { return mData[index]; }
    const double& operator[](int index) const { return mData[index]; }
    double GetAt(int index) const { return mData[index]; }
    void SetAt(int index, double value) { mData[index] = value; }

    bool operator==(const KZeqVector2& other) const;
    bool operator!=(const KZeqVector2& other) const { return !(*this == other); }

    double mData[2];
};

// Four doubles x, y, z, w, (0, 0, 0, 0) by default. Arithmetic works on all
// four components; length, normalisation, dot and cross products and equality
// look at x, y and z only.
class KZeqVector4 {
public:
    // Tolerance of operator== on each of x, y and z.
    static constexpr double kEqualTolerance = 1e-6;

    KZeqVector4() : mData{0.0, 0.0, 0.0, 0.0} {}
    KZeqVector4(double x, double y, double z, double w) : mData{x, y, z, w} {}
    // Copies four doubles; a null pointer gives the zero vector.
    explicit KZeqVector4(const double* values);
    KZeqVector4& operator=(const double* values);

    void Set(double x, double y, double z, double w) {
        mData[0] = x;
        mData[1] = y;
        mData[2] = z;
        mData[3] = w;
    }
    double& operator[](int index) { return mData[index]; }
    const double& operator[](int index) const { return mData[index]; }
    double& GetAt(int index) { return mData[index]; }
    const double& GetAt(int index) const { return mData[index]; }
    void SetAt(int index, double value) { mData[index] = value; }
    operator const double*() const { return mData; }

    KZeqVector4 operator+(const KZeqVector4& other) const;
    KZeqVector4 operator-(const KZeqVector4& other) const;
    KZeqVector4 operator*(double factor) const;
    KZeqVector4 operator/(double divisor) const;
    KZeqVector4& operator+=(const KZeqVector4& other);
    KZeqVector4& operator-=(const KZeqVector4& other);
    KZeqVector4& operator*=(double factor);
    KZeqVector4& operator/=(double divisor);
    // Component by component, all four.
    KZeqVector4& operator*=(const KZeqVector4& other);

    bool operator==(const KZeqVector4& other) const;
    bool operator!=(const KZeqVector4& other) const { return !(*this == other); }

    double Length() const;
    // x, y, z to unit length, w unchanged; a zero vector stays zero.
    void Normalize();
    double DotProduct(const KZeqVector4& other) const;
    // this x other in x, y, z; w is 1.
    KZeqVector4 CrossProduct(const KZeqVector4& other) const;

    double mData[4];
};

// Quaternion x, y, z, w (scalar last), (0, 0, 0, 0) by default.
class KZeqQuaternion {
public:
    KZeqQuaternion() : mData{0.0, 0.0, 0.0, 0.0} {}
    KZeqQuaternion(double x, double y, double z, double w) : mData{x, y, z, w} {}

    void Set(double x, double y, double z, double w) {
        mData[0] = x;
        mData[1] = y;
        mData[2] = z;
        mData[3] = w;
    }
    double& operator[](int index) { return mData[index]; }
    const double& operator[](int index) const { return mData[index]; }
    double GetAt(int index) const { return mData[index]; }
    void SetAt(int index, double value) { mData[index] = value; }
    operator double*() { return mData; }
    operator const double*() const { return mData; }

    double mData[4];
};

// Red, green, blue and alpha, opaque white by default. The four-value
// constructor and Set clamp each component to [0, 1] (NaN becomes 0); copies
// keep the values as they are.
class KZeqColor {
public:
    KZeqColor() : mRed(1.0), mGreen(1.0), mBlue(1.0), mAlpha(1.0) {}
    KZeqColor(double red, double green, double blue, double alpha);

    void Set(double red, double green, double blue, double alpha);

    double mRed;
    double mGreen;
    double mBlue;
    double mAlpha;
};

// These live in KArrayTemplate (copied as bytes) and in files as packed doubles.
static_assert(std::is_trivially_copyable<KZeqVector2>::value && sizeof(KZeqVector2) == 16, "two packed doubles");
static_assert(std::is_trivially_copyable<KZeqVector4>::value && sizeof(KZeqVector4) == 32, "four packed doubles");
static_assert(std::is_trivially_copyable<KZeqQuaternion>::value && sizeof(KZeqQuaternion) == 32,
              "four packed doubles");
static_assert(std::is_trivially_copyable<KZeqColor>::value && sizeof(KZeqColor) == 32, "four packed doubles");

}  // namespace zeqsdk_400

#endif
