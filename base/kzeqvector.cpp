#include "base/kzeqvector.h"

#include <cmath>
#include <limits>

namespace zeqsdk_400 {

bool KZeqVector2::operator==(const KZeqVector2& other) const {
    return mData[0] == other.mData[0] && mData[1] == other.mData[1];
}

KZeqVector4::KZeqVector4(const double* values) : mData{0.0, 0.0, 0.0, 0.0} {
    if (values)
        for (int i = 0; i < 4; ++i) mData[i] = values[i];
}

KZeqVector4& KZeqVector4::operator=(const double* values) {
    for (int i = 0; i < 4; ++i) mData[i] = values ? values[i] : 0.0;
    return *this;
}

KZeqVector4 KZeqVector4::operator+(const KZeqVector4& other) const {
    KZeqVector4 r(*this);
    return r += other;
}

KZeqVector4 KZeqVector4::operator-(const KZeqVector4& other) const {
    KZeqVector4 r(*this);
    return r -= other;
}

KZeqVector4 KZeqVector4::operator*(double factor) const {
    KZeqVector4 r(*this);
    return r *= factor;
}

KZeqVector4 KZeqVector4::operator/(double divisor) const {
    KZeqVector4 r(*this);
    return r /= divisor;
}

KZeqVector4& KZeqVector4::operator+=(const KZeqVector4& other) {
    for (int i = 0; i < 4; ++i) mData[i] += other.mData[i];
    return *this;
}

KZeqVector4& KZeqVector4::operator-=(const KZeqVector4& other) {
    for (int i = 0; i < 4; ++i) mData[i] -= other.mData[i];
    return *this;
}

KZeqVector4& KZeqVector4::operator*=(double factor) {
    for (double& c : mData) c *= factor;
    return *this;
}

KZeqVector4& KZeqVector4::operator/=(double divisor) {
    for (double& c : mData) c /= divisor;
    return *this;
}

KZeqVector4& KZeqVector4::operator*=(const KZeqVector4& other) {
    for (int i = 0; i < 4; ++i) mData[i] *= other.mData[i];
    return *this;
}

bool KZeqVector4::operator==(const KZeqVector4& other) const {
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(mData[i] - other.mData[i]) <= kEqualTolerance)) return false;
    return true;
}

double KZeqVector4::Length() const {
    const double len2 = DotProduct(*this);
    if (len2 >= std::numeric_limits<double>::min() && len2 <= std::numeric_limits<double>::max())
        return std::sqrt(len2);
    // The square under- or overflowed: measure relative to the largest component.
    const double big = std::fmax(std::fabs(mData[0]), std::fmax(std::fabs(mData[1]), std::fabs(mData[2])));
    if (!(big > 0.0) || !std::isfinite(big)) return std::sqrt(len2);
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) sum += (mData[i] / big) * (mData[i] / big);
    return big * std::sqrt(sum);
}

void KZeqVector4::Normalize() {
    const double len = Length();
    if (len > 0.0 && std::isfinite(len))
        for (int i = 0; i < 3; ++i) mData[i] /= len;
}

double KZeqVector4::DotProduct(const KZeqVector4& other) const {
    return mData[0] * other.mData[0] + mData[1] * other.mData[1] + mData[2] * other.mData[2];
}

KZeqVector4 KZeqVector4::CrossProduct(const KZeqVector4& other) const {
    return KZeqVector4(mData[1] * other.mData[2] - mData[2] * other.mData[1],
                       mData[2] * other.mData[0] - mData[0] * other.mData[2],
                       mData[0] * other.mData[1] - mData[1] * other.mData[0], 1.0);
}

namespace {

// NaN fails both comparisons and lands on 0.
inline double Clamp01(double v) { return v > 1.0 ? 1.0 : (v >= 0.0 ? v : 0.0); }

}  // namespace

KZeqColor::KZeqColor(double red, double green, double blue, double alpha)
    : mRed(Clamp01(red)), mGreen(Clamp01(green)), mBlue(Clamp01(blue)), mAlpha(Clamp01(alpha)) {}

void KZeqColor::Set(double red, double green, double blue, double alpha) {
    mRed = Clamp01(red);
    mGreen = Clamp01(green);
    mBlue = Clamp01(blue);
    mAlpha = Clamp01(alpha);
}

}  // namespace zeqsdk_400
