#ifndef ZEQ_FCURVE_KFCURVEROTATIONKEYS_H
#define ZEQ_FCURVE_KFCURVEROTATIONKEYS_H

// Internal helpers of the rotation filters (unroll, gimbal killer): walking the
// keys of three Euler channel curves together, and the temporary rotation node
// that the curve-array forms wrap around three curves.

#include <memory>

#include "base/ktime.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

namespace zeqsdk_400 {
namespace rotationkeys {

struct CurveDestroyer {
    void operator()(KFCurve* curve) const {
        if (curve) curve->Destroy();
    }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const {
        if (node) node->Destroy();
    }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// The three channel values at the key times of the first curve, visited in
// increasing time. Key sync only aligns the keys inside a filter's span, so the
// other two curves may have no key at a time (or a different key count): their
// value is then evaluated there, and their key index is -1.
class KeyTripleCursor {
public:
    explicit KeyTripleCursor(KFCurve* const curves[3]) {
        for (int c = 0; c < 3; ++c) {
            mCurves[c] = curves[c];
            mNext[c] = 0;
            mHint[c] = 0;
        }
    }

    // Times must not decrease between calls.
    void Seek(KTime time, double values[3], int indices[3]) {
        for (int c = 0; c < 3; ++c) {
            KFCurve& curve = *mCurves[c];
            const int count = curve.KeyGetCount();
            int& j = mNext[c];
            while (j < count && curve.KeyGetPtr(j)->GetTime() < time) ++j;
            if (j < count && curve.KeyGetPtr(j)->GetTime() == time) {
                indices[c] = j;
                values[c] = curve.KeyGetPtr(j)->GetValue();
            } else {
                indices[c] = -1;
                values[c] = curve.Evaluate(time, &mHint[c]);
            }
        }
    }

private:
    KFCurve* mCurves[3];
    int mNext[3];
    int mHint[3];
};

// A rotation node "R" (Euler XYZ layer type, rotation order XYZ) whose children
// "X", "Y", "Z" hold three curves it does not own; they are taken back from the
// children before the node is destroyed.
class BorrowedRotationNode {
public:
    explicit BorrowedRotationNode(KFCurve* const curves[3]) : mNode(new KFCurveNode("R", "R", nullptr, KFCL_EULER_XYZ)) {
        static const char* const kAxes[3] = {"X", "Y", "Z"};
        mNode->SetRotationOrder(0);
        for (int c = 0; c < 3; ++c) {
            KFCurveNode* child = new KFCurveNode(kAxes[c], kAxes[c], &KDataTypeNumber);
            mBorrowed[c] = curves[c];
            child->FCurveSet(curves[c]);
            if (mNode->Add(child) < 0) {
                child->FCurveSet(nullptr);
                child->Destroy();
            }
        }
    }
    ~BorrowedRotationNode() {
        for (int c = 0; c < mNode->GetCount(); ++c) {
            KFCurveNode* child = mNode->Get(c);
            if (child && c < 3 && child->FCurveGet() == mBorrowed[c]) child->FCurveSet(nullptr);
        }
    }
    BorrowedRotationNode(const BorrowedRotationNode&) = delete;
    BorrowedRotationNode& operator=(const BorrowedRotationNode&) = delete;

    KFCurveNode& Node() { return *mNode; }

private:
    NodePtr mNode;
    KFCurve* mBorrowed[3] = {nullptr, nullptr, nullptr};
};

}  // namespace rotationkeys
}  // namespace zeqsdk_400

#endif
