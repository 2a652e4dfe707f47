#include "base/kgemath.h"

#include <cmath>
#include <limits>

namespace zeqsdk_400 {

const int KmEulerAxis[36] = {
    0, 1, 2,  // 0 XYZ
    0, 1, 0,  // 1 XYX
    0, 2, 1,  // 2 XZY
    0, 2, 0,  // 3 XZX
    1, 2, 0,  // 4 YZX
    1, 2, 1,  // 5 YZY
    1, 0, 2,  // 6 YXZ
    1, 0, 1,  // 7 YXY
    2, 0, 1,  // 8 ZXY
    2, 0, 2,  // 9 ZXZ
    2, 1, 0,  // 10 ZYX
    2, 1, 2,  // 11 ZYZ
};

namespace {

// A squared length below this is treated as zero: its reciprocal would
// overflow or lose all precision.
constexpr double kTinySquare = std::numeric_limits<double>::min();

// Gimbal threshold of the general Euler extraction (on the cosine or sine of
// the middle angle).
constexpr double kOrdGimbal = 1.6e-9;

inline int CheckedOrder(int order) { return (order >= 0 && order < KM_EULER_ORDER_COUNT) ? order : 0; }

// General inverse of the 3x3 block; false when it is singular.
bool InvertBlock(double (*inv)[3], const double (*a)[4]) {
    const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    const double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    const double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
    if (det == 0.0) return false;
    const double f = 1.0 / det;
    if (!std::isfinite(f)) return false;
    inv[0][0] = c00 * f;
    inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * f;
    inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * f;
    inv[1][0] = c01 * f;
    inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * f;
    inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * f;
    inv[2][0] = c02 * f;
    inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * f;
    inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * f;
    return true;
}

// m = m . E_axis(angle): post-multiplies by the elementary row-vector rotation
// about one axis, which mixes two columns only.
inline void PostRotate(double (*m)[4], int axis, double angle) {
    // The two other axes in cyclic order, without a division.
    static constexpr int kNext[3] = {1, 2, 0};
    const int u = kNext[axis];
    const int v = kNext[u];
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    for (int r = 0; r < 3; ++r) {
        const double mu = m[r][u];
        const double mv = m[r][v];
        m[r][u] = mu * c - mv * s;
        m[r][v] = mu * s + mv * c;
    }
}

// std::floor without a library call where the value converts exactly (the turns between two
// angles), else std::floor itself.
inline double Floor(double x) {
    if (!(std::fabs(x) < 4503599627370496.0)) return std::floor(x);  // 2^52 and beyond, or not a number
    const double truncated = static_cast<double>(static_cast<long long>(x));
    return truncated > x ? truncated - 1.0 : truncated;
}

inline double NearestTurn(double value, double ref) {
    return value + 360.0 * Floor((ref - value) / 360.0 + 0.5);
}

}  // namespace

void KmAA(double (*out)[4], const double (*a)[4], const double (*b)[4]) {
    double r[4][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = b[i][0] * a[0][j] + b[i][1] * a[1][j] + b[i][2] * a[2][j];
    for (int j = 0; j < 3; ++j) r[3][j] = b[3][0] * a[0][j] + b[3][1] * a[1][j] + b[3][2] * a[2][j] + a[3][j];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void KmAi(double (*out)[4], const double (*a)[4]) {
    double r[4][3];
    for (int i = 0; i < 3; ++i) {
        const double len2 = a[i][0] * a[i][0] + a[i][1] * a[i][1] + a[i][2] * a[i][2];
        const double f = len2 >= kTinySquare ? 1.0 / len2 : 0.0;
        for (int j = 0; j < 3; ++j) r[j][i] = a[i][j] * f;
    }
    for (int j = 0; j < 3; ++j) r[3][j] = -(a[3][0] * r[0][j] + a[3][1] * r[1][j] + a[3][2] * r[2][j]);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void KmAiA(double (*out)[4], const double (*a)[4], const double (*b)[4]) {
    double inv[4][4];
    double block[3][3];
    if (InvertBlock(block, a)) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) inv[i][j] = block[i][j];
        for (int j = 0; j < 3; ++j) inv[3][j] = -(a[3][0] * block[0][j] + a[3][1] * block[1][j] + a[3][2] * block[2][j]);
    } else {
        KmAi(inv, a);
    }
    KmAA(out, inv, b);
}

void KmRR(double (*out)[4], const double (*a)[4], const double (*b)[4]) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = b[i][0] * a[0][j] + b[i][1] * a[1][j] + b[i][2] * a[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void KmRi(double (*out)[4], const double (*a)[4]) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a[j][i];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void KmRiR(double (*out)[4], const double (*a)[4], const double (*b)[4]) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = b[i][0] * a[j][0] + b[i][1] * a[j][1] + b[i][2] * a[j][2];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void KmRS(double (*out)[4], const double (*a)[4], const double* s) {
    for (int i = 0; i < 3; ++i) {
        const double f = s[i];
        for (int j = 0; j < 3; ++j) out[i][j] = a[i][j] * f;
    }
}

void KmQQ(double* out, const double* a, const double* b) {
    const double ax = a[0], ay = a[1], az = a[2], aw = a[3];
    const double bx = b[0], by = b[1], bz = b[2], bw = b[3];
    out[0] = aw * bx + ax * bw + ay * bz - az * by;
    out[1] = aw * by - ax * bz + ay * bw + az * bx;
    out[2] = aw * bz + ax * by - ay * bx + az * bw;
    out[3] = aw * bw - ax * bx - ay * by - az * bz;
}

void KmQtoR(double (*m)[4], const double* q) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double n = x * x + y * y + z * z + w * w;
    const double s = n > 0.0 ? 2.0 / n : 0.0;
    m[0][0] = 1.0 - s * (y * y + z * z);
    m[0][1] = s * (x * y + w * z);
    m[0][2] = s * (x * z - w * y);
    m[1][0] = s * (x * y - w * z);
    m[1][1] = 1.0 - s * (x * x + z * z);
    m[1][2] = s * (y * z + w * x);
    m[2][0] = s * (x * z + w * y);
    m[2][1] = s * (y * z - w * x);
    m[2][2] = 1.0 - s * (x * x + y * y);
}

void KmRtoQ(double* q, const double (*m)[4]) {
    double x, y, z, w;
    const double w2 = (m[0][0] + m[1][1] + m[2][2] + 1.0) / 4.0;
    if (w2 > 1e-10) {
        w = std::sqrt(w2);
        const double f = 1.0 / (4.0 * w);
        x = (m[1][2] - m[2][1]) * f;
        y = (m[2][0] - m[0][2]) * f;
        z = (m[0][1] - m[1][0]) * f;
    } else {
        // Half-turn or close to it: w carries no information, so the vector
        // part is taken from the largest diagonal element, whose radicand is
        // then at least 4/3 and never divides by zero.
        if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
            x = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) / 2.0;
            const double f = 1.0 / (4.0 * x);
            y = (m[0][1] + m[1][0]) * f;
            z = (m[0][2] + m[2][0]) * f;
            w = (m[1][2] - m[2][1]) * f;
        } else if (m[1][1] >= m[2][2]) {
            y = std::sqrt(1.0 - m[0][0] + m[1][1] - m[2][2]) / 2.0;
            const double f = 1.0 / (4.0 * y);
            x = (m[0][1] + m[1][0]) * f;
            z = (m[1][2] + m[2][1]) * f;
            w = (m[2][0] - m[0][2]) * f;
        } else {
            z = std::sqrt(1.0 - m[0][0] - m[1][1] + m[2][2]) / 2.0;
            const double f = 1.0 / (4.0 * z);
            x = (m[0][2] + m[2][0]) * f;
            y = (m[1][2] + m[2][1]) * f;
            w = (m[0][1] - m[1][0]) * f;
        }
        if (w < 0.0) {
            x = -x;
            y = -y;
            z = -z;
            w = -w;
        }
    }
    q[0] = x;
    q[1] = y;
    q[2] = z;
    q[3] = w;
}

void KmRtoVXYZ(double* v, const double (*m)[4]) {
    if (m[0][2] >= 0.999999) {
        v[0] = std::atan2(-m[2][1], -m[2][0]) * KM_RAD_TO_DEG;
        v[1] = -90.0;
        v[2] = 0.0;
    } else if (m[0][2] <= -0.999999) {
        v[0] = std::atan2(m[1][0], m[1][1]) * KM_RAD_TO_DEG;
        v[1] = 90.0;
        v[2] = 0.0;
    } else {
        v[0] = std::atan2(m[1][2], m[2][2]) * KM_RAD_TO_DEG;
        v[1] = -std::asin(m[0][2]) * KM_RAD_TO_DEG;
        v[2] = std::atan2(m[0][1], m[0][0]) * KM_RAD_TO_DEG;
    }
}

void KmXYZtoR(double (*m)[4], double x, double y, double z) {
    x *= KM_DEG_TO_RAD;
    y *= KM_DEG_TO_RAD;
    z *= KM_DEG_TO_RAD;
    const double cx = std::cos(x), sx = std::sin(x);
    const double cy = std::cos(y), sy = std::sin(y);
    const double cz = std::cos(z), sz = std::sin(z);
    m[0][0] = cy * cz;
    m[0][1] = cy * sz;
    m[0][2] = -sy;
    m[1][0] = sx * sy * cz - cx * sz;
    m[1][1] = sx * sy * sz + cx * cz;
    m[1][2] = sx * cy;
    m[2][0] = cx * sy * cz + sx * sz;
    m[2][1] = cx * sy * sz - sx * cz;
    m[2][2] = cx * cy;
}

void KmIJKtoR(double (*m)[4], double a, double b, double c, int order) {
    const int* axis = &KmEulerAxis[CheckedOrder(order) * 3];
    double angle[3];
    if (axis[0] != axis[2]) {
        // Three distinct axes: the angles are given about X, Y and Z.
        const double byAxis[3] = {a, b, c};
        for (int n = 0; n < 3; ++n) angle[n] = byAxis[axis[n]];
    } else {
        angle[0] = a;
        angle[1] = b;
        angle[2] = c;
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    for (int n = 0; n < 3; ++n) PostRotate(m, axis[n], angle[n] * KM_DEG_TO_RAD);
}

void KmRtoVord(double* v, const double (*m)[4], int order) {
    const int* axis = &KmEulerAxis[CheckedOrder(order) * 3];
    const int i = axis[0];
    const int j = axis[1];
    const bool repeated = axis[2] == i;
    const int k = repeated ? 3 - i - j : axis[2];
    const bool odd = j != (i + 1) % 3;
    // C is the column-vector form of the rotation (the transpose of m): the
    // extraction below is written for C = R_third . R_j . R_i.
    auto C = [m](int r, int c) { return m[c][r]; };
    double ea[3];
    if (repeated) {
        const double sy = std::sqrt(C(i, j) * C(i, j) + C(i, k) * C(i, k));
        if (sy > kOrdGimbal) {
            ea[0] = std::atan2(C(i, j), C(i, k));
            ea[1] = std::atan2(sy, C(i, i));
            ea[2] = std::atan2(C(j, i), -C(k, i));
        } else {
            ea[0] = std::atan2(-C(j, k), C(j, j));
            ea[1] = std::atan2(sy, C(i, i));
            ea[2] = 0.0;
        }
    } else {
        const double cy = std::sqrt(C(i, i) * C(i, i) + C(j, i) * C(j, i));
        if (cy > kOrdGimbal) {
            ea[0] = std::atan2(C(k, j), C(k, k));
            ea[1] = std::atan2(-C(k, i), cy);
            ea[2] = std::atan2(C(j, i), C(i, i));
        } else {
            ea[0] = std::atan2(-C(j, k), C(j, j));
            ea[1] = std::atan2(-C(k, i), cy);
            ea[2] = 0.0;
        }
    }
    const double sign = odd ? -KM_RAD_TO_DEG : KM_RAD_TO_DEG;
    for (int n = 0; n < 3; ++n) v[n] = ea[n] * sign;
}

bool KVNGetContinuousRotation(double* out, const double* in, const double* ref, const int* axis) {
    const double src[3] = {in[0], in[1], in[2]};
    const bool valid = ref && axis && axis[0] >= 0 && axis[0] < 3 && axis[1] >= 0 && axis[1] < 3 && axis[2] >= 0 &&
                       axis[2] < 3 && axis[0] != axis[1] && axis[1] != axis[2];
    if (!valid) {
        for (int n = 0; n < 3; ++n) out[n] = src[n];
        return false;
    }
    // The other solution of the same rotation: first and last angles plus a
    // half turn, middle angle mirrored (about 90 degrees for three distinct
    // axes, about 0 for a repeated first axis).
    double alt[3];
    if (axis[0] != axis[2]) {
        alt[axis[0]] = src[axis[0]] + 180.0;
        alt[axis[1]] = 180.0 - src[axis[1]];
        alt[axis[2]] = src[axis[2]] + 180.0;
    } else {
        alt[0] = src[0] + 180.0;
        alt[1] = -src[1];
        alt[2] = src[2] + 180.0;
    }
    double same[3];
    double d0 = 0.0, d1 = 0.0;
    for (int n = 0; n < 3; ++n) {
        same[n] = NearestTurn(src[n], ref[n]);
        alt[n] = NearestTurn(alt[n], ref[n]);
        d0 += (same[n] - ref[n]) * (same[n] - ref[n]);
        d1 += (alt[n] - ref[n]) * (alt[n] - ref[n]);
    }
    const bool flipped = d1 < d0;
    for (int n = 0; n < 3; ++n) out[n] = flipped ? alt[n] : same[n];
    return flipped;
}

void KgeSetRM(KgeRMatrix& r, const KgeAMatrix& a) {
    for (int i = 0; i < 3; ++i) {
        const double len = std::sqrt(a[i][0] * a[i][0] + a[i][1] * a[i][1] + a[i][2] * a[i][2]);
        const double f = len > 0.0 ? 1.0 / len : 0.0;
        // A row too small to normalise reliably is left zero.
        const bool usable = std::isfinite(f);
        for (int j = 0; j < 3; ++j) r[i][j] = usable ? a[i][j] * f : 0.0;
    }
}

void KgeSetQuaternion(KgeQuaternion& q, const KgeTVector& v) {
    q.mData[0] = 0.0;
    q.mData[1] = -v.mData[2];
    q.mData[2] = v.mData[1];
    q.mData[3] = 1.0 + v.mData[0];
}

void GetQuaternionFromPositionToPosition(KgeQuaternion& q, const KgeTVector& from, const KgeTVector& to) {
    double f[3] = {from.mData[0], from.mData[1], from.mData[2]};
    double t[3] = {to.mData[0], to.mData[1], to.mData[2]};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    const double tl = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
    if (!(fl > 0.0) || !(tl > 0.0) || !std::isfinite(fl) || !std::isfinite(tl)) {
        q = KgeQuaternion();
        return;
    }
    for (int n = 0; n < 3; ++n) {
        f[n] /= fl;
        t[n] /= tl;
    }
    const double dot = f[0] * t[0] + f[1] * t[1] + f[2] * t[2];
    double x, y, z, w;
    if (dot < -1.0 + 1e-12) {
        // Opposite directions: half turn about the axis perpendicular to f
        // built from f's smallest component.
        int minAxis = 0;
        if (std::fabs(f[1]) < std::fabs(f[minAxis])) minAxis = 1;
        if (std::fabs(f[2]) < std::fabs(f[minAxis])) minAxis = 2;
        double e[3] = {0.0, 0.0, 0.0};
        e[minAxis] = 1.0;
        x = f[1] * e[2] - f[2] * e[1];
        y = f[2] * e[0] - f[0] * e[2];
        z = f[0] * e[1] - f[1] * e[0];
        w = 0.0;
    } else {
        x = f[1] * t[2] - f[2] * t[1];
        y = f[2] * t[0] - f[0] * t[2];
        z = f[0] * t[1] - f[1] * t[0];
        w = 1.0 + dot;
    }
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    q.mData[0] = x / n;
    q.mData[1] = y / n;
    q.mData[2] = z / n;
    q.mData[3] = w / n;
}

}  // namespace zeqsdk_400
