#include "base/kzeqmatrix.h"

#include <cmath>

namespace zeqsdk_400 {

namespace {

inline void SetAffineColumn(double (*m)[4]) {
    m[0][3] = 0.0;
    m[1][3] = 0.0;
    m[2][3] = 0.0;
    m[3][3] = 1.0;
}

inline void SetTranslation(double (*m)[4], const KZeqVector4& t) {
    m[3][0] = t.mData[0];
    m[3][1] = t.mData[1];
    m[3][2] = t.mData[2];
}

inline void Cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

inline double Length3(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

void KZeqMatrix::SetIdentity() {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) mData[i][j] = i == j ? 1.0 : 0.0;
}

void KZeqMatrix::SetTRS(const KZeqVector4& t, const KZeqVector4& r, const KZeqVector4& s) {
    KmXYZtoR(mData, r.mData[0], r.mData[1], r.mData[2]);
    KmRS(mData, mData, s.mData);
    SetTranslation(mData, t);
    SetAffineColumn(mData);
}

KZeqVector4 KZeqMatrix::GetRow(int row) const {
    if (row < 0 || row > 3) return KZeqVector4();
    return KZeqVector4(mData[row]);
}

bool KZeqMatrix::operator==(const KZeqMatrix& other) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(mData[i][j] - other.mData[i][j]) <= kEqualTolerance)) return false;
    return true;
}

KZeqXMatrix& KZeqXMatrix::operator=(const KZeqMatrix& m) {
    KZeqMatrix::operator=(m);
    return *this;
}

namespace {

// Signed scaling of the block: the row lengths, all negated when the block
// mirrors. usable[i] tells whether row i can be divided by its scale.
int SignedScale(const double (*m)[4], double* s, bool* usable) {
    int missing = 0;
    for (int i = 0; i < 3; ++i) {
        s[i] = Length3(m[i]);
        usable[i] = s[i] > 0.0 && std::isfinite(s[i]) && std::isfinite(1.0 / s[i]);
        if (!usable[i]) ++missing;
    }
    double r0[3];
    Cross(m[1], m[2], r0);
    if (m[0][0] * r0[0] + m[0][1] * r0[1] + m[0][2] * r0[2] < 0.0)
        for (int i = 0; i < 3; ++i) s[i] = -s[i];
    return missing;
}

}  // namespace

// The signed scaling and the rotation left when it is divided out of the
// block. Rows of zero length cannot be divided: they are rebuilt from the
// others so that the rotation stays a rotation (and a later SetS can bring
// the lost axis back).
void KZeqXMatrix::RotationAndScale(double (*rot)[4], double* s) const {
    bool usable[3];
    const int missing = SignedScale(mData, s, usable);
    for (int i = 0; i < 3; ++i) {
        const double f = usable[i] ? 1.0 / s[i] : 0.0;
        for (int j = 0; j < 3; ++j) rot[i][j] = mData[i][j] * f;
    }
    if (missing == 1) {
        // Rows of a rotation satisfy r[a] = r[a+1] x r[a+2] (indices mod 3).
        for (int a = 0; a < 3; ++a)
            if (!usable[a]) Cross(rot[(a + 1) % 3], rot[(a + 2) % 3], rot[a]);
    } else if (missing == 2) {
        int a = 0;
        while (!usable[a]) ++a;
        const double* u = rot[a];
        int minAxis = 0;
        for (int j = 1; j < 3; ++j)
            if (std::fabs(u[j]) < std::fabs(u[minAxis])) minAxis = j;
        double e[3] = {0.0, 0.0, 0.0};
        e[minAxis] = 1.0;
        double* v = rot[(a + 1) % 3];
        Cross(u, e, v);
        const double vl = Length3(v);
        for (int j = 0; j < 3; ++j) v[j] /= vl;
        Cross(u, v, rot[(a + 2) % 3]);
    } else if (missing == 3) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) rot[i][j] = i == j ? 1.0 : 0.0;
    }
}

KZeqVector4 KZeqXMatrix::GetT() const { return KZeqVector4(mData[3][0], mData[3][1], mData[3][2], 0.0); }

KZeqVector4 KZeqXMatrix::GetR() const {
    double rot[4][4];
    double s[3];
    RotationAndScale(rot, s);
    KZeqVector4 v;
    KmRtoVXYZ(v.mData, rot);
    return v;
}

KZeqVector4 KZeqXMatrix::GetEulerXYZ() const {
    double rot[4][4];
    double s[3];
    RotationAndScale(rot, s);
    KZeqVector4 v;
    KmRtoVord(v.mData, rot, 0);
    return v;
}

KZeqVector4 KZeqXMatrix::GetS() const {
    double s[3];
    bool usable[3];
    SignedScale(mData, s, usable);
    return KZeqVector4(s[0], s[1], s[2], 0.0);
}

KZeqQuaternion KZeqXMatrix::GetQ() const {
    double rot[4][4];
    double s[3];
    RotationAndScale(rot, s);
    KZeqQuaternion q;
    KmRtoQ(q.mData, rot);
    return q;
}

void KZeqXMatrix::SetT(const KZeqVector4& t) { SetTranslation(mData, t); }

void KZeqXMatrix::SetR(const KZeqVector4& r) {
    double s[3];
    bool usable[3];
    SignedScale(mData, s, usable);
    KmXYZtoR(mData, r.mData[0], r.mData[1], r.mData[2]);
    KmRS(mData, mData, s);
}

void KZeqXMatrix::SetS(const KZeqVector4& s) {
    double rot[4][4];
    double old[3];
    RotationAndScale(rot, old);
    KmRS(mData, rot, s.mData);
}

void KZeqXMatrix::SetQ(const KZeqQuaternion& q) {
    double s[3];
    bool usable[3];
    SignedScale(mData, s, usable);
    KmQtoR(mData, q.mData);
    KmRS(mData, mData, s);
}

void KZeqXMatrix::SetTQS(const KZeqVector4& t, const KZeqQuaternion& q, const KZeqVector4& s) {
    KmQtoR(mData, q.mData);
    KmRS(mData, mData, s.mData);
    SetTranslation(mData, t);
    SetAffineColumn(mData);
}

KZeqXMatrix KZeqXMatrix::Inverse() const {
    KZeqXMatrix r;
    KmAiA(r.mData, mData, r.mData);  // identity followed by the inverse
    return r;
}

KZeqXMatrix KZeqXMatrix::Transpose() const {
    KZeqXMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.mData[i][j] = mData[j][i];
    return r;
}

KZeqXMatrix KZeqXMatrix::operator*(const KZeqXMatrix& b) const {
    KZeqXMatrix r;
    KmAA(r.mData, mData, b.mData);
    return r;
}

KZeqVector4 KZeqXMatrix::MultT(const KZeqVector4& p) const {
    KZeqVector4 r;
    for (int j = 0; j < 3; ++j)
        r.mData[j] = p.mData[0] * mData[0][j] + p.mData[1] * mData[1][j] + p.mData[2] * mData[2][j] + mData[3][j];
    r.mData[3] = 0.0;
    return r;
}

}  // namespace zeqsdk_400
