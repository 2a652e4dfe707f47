#ifndef ZEQ_BASE_KVXROTATIONORDER_H
#define ZEQ_BASE_KVXROTATIONORDER_H

#include "base/kgemath.h"

namespace zeqsdk_400 {

// Converts between a rotation matrix and three angles in degrees for one
// rotation order: 0 to 11 the Euler orders of KmEulerAxis, 12 spheric XYZ (the
// rotation vector: the axis scaled by the angle in degrees). The three angles
// are laid out as KmIJKtoR takes them: about X, Y and Z for the orders with
// three distinct axes, in sequence for the orders that repeat an axis. An
// order outside 0 to 12 works as 0 (Euler XYZ).
class KVXRotationOrder {
public:
    enum { eEulerXYZ = 0, eSphericXYZ = 12, eOrderCount = 13 };

    explicit KVXRotationOrder(int order = eEulerXYZ) : mOrder(order) {}

    void SetOrder(int order) { mOrder = order; }
    int GetOrder() const { return mOrder; }

    // The rotation matrix of the angles: the 3x3 block, with zero translation
    // and (0, 0, 0, 1) as the fourth column.
    void V2M(KgeRMatrix& m, const KgeRVector& v) const;
    // The angles of the 3x3 block of m, which must be a rotation. Every Euler order, XYZ among
    // them, by the general extraction (KmRtoVord): a turn near a quarter turn about the middle
    // axis is kept, not taken for the quarter turn.
    void M2V(KgeRVector& v, const KgeRMatrix& m) const;

private:
    int mOrder;
};

}  // namespace zeqsdk_400

#endif
