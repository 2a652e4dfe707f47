#include "base/kvxrotationorder.h"

#include <cmath>

namespace zeqsdk_400 {

void KVXRotationOrder::V2M(KgeRMatrix& m, const KgeRVector& v) const {
    const int order = (mOrder >= 0 && mOrder < eOrderCount) ? mOrder : eEulerXYZ;
    if (order == eSphericXYZ) {
        const double x = v.mData[0], y = v.mData[1], z = v.mData[2];
        const double angle = std::sqrt(x * x + y * y + z * z);
        if (angle > 0.0 && std::isfinite(angle)) {
            const double half = angle * KM_DEG_TO_RAD / 2.0;
            const double f = std::sin(half) / angle;
            const double q[4] = {x * f, y * f, z * f, std::cos(half)};
            KmQtoR(m, q);
        } else {
            const double identity[4] = {0.0, 0.0, 0.0, 1.0};
            KmQtoR(m, identity);
        }
    } else {
        KmIJKtoR(m, v.mData[0], v.mData[1], v.mData[2], order);
    }
    for (int i = 0; i < 3; ++i) {
        m[i][3] = 0.0;
        m[3][i] = 0.0;
    }
    m[3][3] = 1.0;
}

void KVXRotationOrder::M2V(KgeRVector& v, const KgeRMatrix& m) const {
    const int order = (mOrder >= 0 && mOrder < eOrderCount) ? mOrder : eEulerXYZ;
    if (order == eSphericXYZ) {
        double q[4];
        KmRtoQ(q, m);  // w >= 0: the angle stays within [0, 180]
        const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        const double f = n > 0.0 ? 2.0 * std::atan2(n, q[3]) * KM_RAD_TO_DEG / n : 0.0;
        for (int i = 0; i < 3; ++i) v.mData[i] = q[i] * f;
    } else {
        double seq[3];
        KmRtoVord(seq, m, order);
        const int* axis = &KmEulerAxis[order * 3];
        if (axis[0] != axis[2]) {
            for (int n = 0; n < 3; ++n) v.mData[axis[n]] = seq[n];
        } else {
            for (int n = 0; n < 3; ++n) v.mData[n] = seq[n];
        }
    }
}

}  // namespace zeqsdk_400
