// Vectors, matrices, quaternions, Euler rotations and transformation components. Row-vector
// convention throughout: p' = p * M, and R_A * R_B applies A first.
#include "tmath.h"

#include <algorithm>
#include <cmath>

namespace {

// The three axes of each Euler order, first applied first.
const int kAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};

using M3 = double[3][3];

// Row-convention rotation about one axis.
void axisRotation(int axis, double angle, M3 out) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r][c] = r == c ? 1 : 0;
    int p = (axis + 1) % 3, q = (axis + 2) % 3;
    double c = std::cos(angle), s = std::sin(angle);
    out[p][p] = c;
    out[p][q] = s;
    out[q][p] = -s;
    out[q][q] = c;
}

void mul3(const M3 a, const M3 b, M3 out) {
    M3 t;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) t[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r][c] = t[r][c];
}

TMatrix from3(const M3 m) {
    TMatrix out;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out.matrix[r][c] = m[r][c];
    return out;
}

TMatrix translation(double x, double y, double z) {
    TMatrix m;
    m.matrix[3][0] = x;
    m.matrix[3][1] = y;
    m.matrix[3][2] = z;
    return m;
}

// Keeps angles in (-pi, pi].
double principal(double a) {
    if (a <= -M_PI) a += 2 * M_PI;
    if (a > M_PI) a -= 2 * M_PI;
    return a;
}

}  // namespace

const TPoint TPoint::origin(0, 0, 0, 1);
const TMatrix TMatrix::identity;

double TVector::length() const { return std::sqrt(x * x + y * y + z * z); }
TVector TVector::normal() const {
    double l = length();
    return l > 0 ? *this * (1 / l) : *this;
}
bool TVector::isEquivalent(const TVector& o, double t) const {
    return std::fabs(x - o.x) <= t && std::fabs(y - o.y) <= t && std::fabs(z - o.z) <= t;
}
TVector TVector::operator*(const TMatrix& m) const {
    return {x * m[0][0] + y * m[1][0] + z * m[2][0], x * m[0][1] + y * m[1][1] + z * m[2][1],
            x * m[0][2] + y * m[1][2] + z * m[2][2]};
}

TPoint TPoint::operator*(const TMatrix& m) const {
    double r[4];
    for (int c = 0; c < 4; ++c) r[c] = x * m[0][c] + y * m[1][c] + z * m[2][c] + w * m[3][c];
    return {r[0], r[1], r[2], r[3]};
}
bool TPoint::isEquivalent(const TPoint& o, double t) const {
    return std::fabs(x - o.x) <= t && std::fabs(y - o.y) <= t && std::fabs(z - o.z) <= t && std::fabs(w - o.w) <= t;
}

TMatrix::TMatrix() {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) matrix[r][c] = r == c ? 1 : 0;
}
TMatrix::TMatrix(const double m[4][4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) matrix[r][c] = m[r][c];
}
TMatrix TMatrix::operator*(const TMatrix& b) const {
    TMatrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += matrix[r][k] * b.matrix[k][c];
            out.matrix[r][c] = s;
        }
    return out;
}
bool TMatrix::operator==(const TMatrix& o) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (matrix[r][c] != o.matrix[r][c]) return false;
    return true;
}
TMatrix TMatrix::transpose() const {
    TMatrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.matrix[r][c] = matrix[c][r];
    return out;
}
double TMatrix::det3x3() const {
    const auto& m = matrix;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}
double TMatrix::det4x4() const {
    double a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r][c] = matrix[r][c];
    double det = 1;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (a[pivot][col] == 0) return 0;
        if (pivot != col) {
            std::swap(a[pivot], a[col]);
            det = -det;
        }
        det *= a[col][col];
        for (int r = col + 1; r < 4; ++r) {
            double f = a[r][col] / a[col][col];
            for (int c = col; c < 4; ++c) a[r][c] -= f * a[col][c];
        }
    }
    return det;
}
// Gauss-Jordan with partial pivoting; a singular matrix gives the identity.
TMatrix TMatrix::inverse() const {
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c) a[r][c] = c < 4 ? matrix[r][c] : (c - 4 == r ? 1 : 0);
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (a[pivot][col] == 0) return TMatrix();
        std::swap(a[pivot], a[col]);
        double d = a[col][col];
        for (int c = 0; c < 8; ++c) a[col][c] /= d;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            double f = a[r][col];
            for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
        }
    }
    TMatrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.matrix[r][c] = a[r][c + 4];
    return out;
}
bool TMatrix::isEquivalent(const TMatrix& o, double t) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (std::fabs(matrix[r][c] - o.matrix[r][c]) > t) return false;
    return true;
}
TStatus TMatrix::get(double out[4][4]) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r][c] = matrix[r][c];
    return TStatus::kSuccess;
}

// Column-form quaternion maths; the row-convention matrix is the transpose.
TQuaternion::TQuaternion(const TMatrix& rm) {
    double m[3][3];  // column convention
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = rm.matrix[c][r];
    // Rows carry the scale: normalise them away.
    for (int c = 0; c < 3; ++c) {
        double l = std::sqrt(m[0][c] * m[0][c] + m[1][c] * m[1][c] + m[2][c] * m[2][c]);
        if (l > 0)
            for (int r = 0; r < 3; ++r) m[r][c] /= l;
    }
    double tr = m[0][0] + m[1][1] + m[2][2];
    if (tr > 0) {
        double s = std::sqrt(tr + 1) * 2;
        w = s / 4;
        x = (m[2][1] - m[1][2]) / s;
        y = (m[0][2] - m[2][0]) / s;
        z = (m[1][0] - m[0][1]) / s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        double s = std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]) * 2;
        w = (m[2][1] - m[1][2]) / s;
        x = s / 4;
        y = (m[0][1] + m[1][0]) / s;
        z = (m[0][2] + m[2][0]) / s;
    } else if (m[1][1] > m[2][2]) {
        double s = std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]) * 2;
        w = (m[0][2] - m[2][0]) / s;
        x = (m[0][1] + m[1][0]) / s;
        y = s / 4;
        z = (m[1][2] + m[2][1]) / s;
    } else {
        double s = std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]) * 2;
        w = (m[1][0] - m[0][1]) / s;
        x = (m[0][2] + m[2][0]) / s;
        y = (m[1][2] + m[2][1]) / s;
        z = s / 4;
    }
}

TMatrix TQuaternion::asMatrix() const {
    TQuaternion q = normal();
    TMatrix m;
    double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    double xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z, wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    double col[3][3] = {{1 - 2 * (yy + zz), 2 * (xy - wz), 2 * (xz + wy)},
                        {2 * (xy + wz), 1 - 2 * (xx + zz), 2 * (yz - wx)},
                        {2 * (xz - wy), 2 * (yz + wx), 1 - 2 * (xx + yy)}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m.matrix[r][c] = col[c][r];
    return m;
}

TEulerRotation TQuaternion::asEulerRotation() const { return TEulerRotation::decompose(asMatrix(), TEulerRotation::kXYZ); }

TQuaternion TQuaternion::normal() const {
    double l = std::sqrt(x * x + y * y + z * z + w * w);
    return l > 0 ? TQuaternion(x / l, y / l, z / l, w / l) : TQuaternion();
}

TQuaternion TQuaternion::operator*(const TQuaternion& r) const {
    // Hamilton product r * this: this applied first.
    const TQuaternion& a = r;
    const TQuaternion& b = *this;
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

bool TQuaternion::isEquivalent(const TQuaternion& o, double t) const {
    auto near = [&](double s) {
        return std::fabs(x - s * o.x) <= t && std::fabs(y - s * o.y) <= t && std::fabs(z - s * o.z) <= t &&
               std::fabs(w - s * o.w) <= t;
    };
    return near(1) || near(-1);
}

TMatrix TEulerRotation::asMatrix() const {
    const int* ax = kAxes[order];
    M3 m, r;
    axisRotation(ax[0], (*this)[static_cast<unsigned>(ax[0])], m);
    for (int i = 1; i < 3; ++i) {
        axisRotation(ax[i], (*this)[static_cast<unsigned>(ax[i])], r);
        mul3(m, r, m);
    }
    return from3(m);
}

TQuaternion TEulerRotation::asQuaternion() const { return TQuaternion(asMatrix()); }

TEulerRotation TEulerRotation::reorder(RotationOrder o) const { return decompose(asMatrix(), o); }

TEulerRotation TEulerRotation::decompose(const TMatrix& rm, RotationOrder o) {
    // Column form N = Rc_k(c) Rc_j(b) Rc_i(a) for the order (i, j, k) applied i first.
    double n[3][3];
    for (int r = 0; r < 3; ++r) {
        double l = std::sqrt(rm[r][0] * rm[r][0] + rm[r][1] * rm[r][1] + rm[r][2] * rm[r][2]);
        for (int c = 0; c < 3; ++c) n[c][r] = l > 0 ? rm[r][c] / l : rm[r][c];
    }
    const int* ax = kAxes[o];
    int i = ax[0], j = ax[1], k = ax[2];
    double sign = j == (i + 1) % 3 ? 1 : -1;
    double sb = std::max(-1.0, std::min(1.0, -sign * n[k][i]));
    double a, b = std::asin(sb), c;
    if (std::fabs(sb) < 1 - 1e-12) {
        a = std::atan2(sign * n[k][j], n[k][k]);
        c = std::atan2(sign * n[j][i], n[i][i]);
    } else {
        // Gimbal lock: the last rotation is folded into the first.
        c = 0;
        M3 rb, p, nn;
        axisRotation(j, b, rb);  // row form of Rc_j(b)^T
        for (int r = 0; r < 3; ++r)
            for (int q = 0; q < 3; ++q) nn[r][q] = n[r][q];
        mul3(rb, nn, p);  // Rc_j(b)^-1 * N = Rc_i(a)
        int pp = (i + 1) % 3, qq = (i + 2) % 3;
        a = std::atan2(p[qq][pp], p[pp][pp]);
    }
    TEulerRotation e(0, 0, 0, o);
    e[static_cast<unsigned>(i)] = principal(a);
    e[static_cast<unsigned>(j)] = b;
    e[static_cast<unsigned>(k)] = principal(c);
    return e;
}

bool TEulerRotation::isEquivalent(const TEulerRotation& o, double t) const {
    return asMatrix().isEquivalent(o.asMatrix(), t);
}

TMatrix TTransformationMatrix::asMatrix() const {
    TMatrix s;
    for (int i = 0; i < 3; ++i) s.matrix[i][i] = scale[i];
    const TPoint& sp = scalePivotPoint;
    const TPoint& rp = rotatePivotPoint;
    return translation(-sp.x, -sp.y, -sp.z) * s * translation(sp.x, sp.y, sp.z) *
           translation(scalePivotTrans.x, scalePivotTrans.y, scalePivotTrans.z) * translation(-rp.x, -rp.y, -rp.z) *
           TEulerRotation(rotateAxis.x, rotateAxis.y, rotateAxis.z).asMatrix() * rotation.asMatrix() *
           TEulerRotation(jointOrient.x, jointOrient.y, jointOrient.z).asMatrix() * translation(rp.x, rp.y, rp.z) *
           translation(rotatePivotTrans.x, rotatePivotTrans.y, rotatePivotTrans.z) *
           translation(translate.x, translate.y, translate.z);
}

TTransformationMatrix& TTransformationMatrix::operator=(const TMatrix& m) {
    TEulerRotation::RotationOrder o = rotation.order;
    *this = TTransformationMatrix();
    translate = TVector(m[3][0], m[3][1], m[3][2]);
    double sign = m.det3x3() < 0 ? -1 : 1;
    for (int r = 0; r < 3; ++r) scale[r] = sign * std::sqrt(m[r][0] * m[r][0] + m[r][1] * m[r][1] + m[r][2] * m[r][2]);
    TMatrix block;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) block.matrix[r][c] = scale[r] != 0 ? m[r][c] / scale[r] : (r == c ? 1 : 0);
    rotation = TEulerRotation::decompose(block, o);
    return *this;
}

TStatus TTransformationMatrix::reorderRotation(RotationOrder order) {
    if (order < kXYZ || order > kZYX) return TStatus::kFailure;
    rotation = rotation.reorder(static_cast<TEulerRotation::RotationOrder>(order - 1));
    return TStatus::kSuccess;
}

TStatus TTransformationMatrix::rotateBy(const TEulerRotation& e, int space, TStatus* status) {
    TStatus result = TStatus::kSuccess;
    if (space == TSpace::kTransform || space == TSpace::kObject)
        rotation = TEulerRotation::decompose(e.asMatrix() * rotation.asMatrix(), rotation.order);
    else if (space == TSpace::kWorld)
        rotation = TEulerRotation::decompose(rotation.asMatrix() * e.asMatrix(), rotation.order);
    else
        result = TStatus::kFailure;
    if (status) *status = result;
    return result;
}

TVector TTransformationMatrix::getTranslation(int space, TStatus* status) const {
    // Without a parent the transformation's world translation is its own.
    bool ok = TSpace::valid(space);
    if (status) *status = ok ? TStatus::kSuccess : TStatus::kFailure;
    return ok ? translate : TVector();
}
