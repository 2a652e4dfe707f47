#include "scene/kzeqtransformcache.h"

#include "base/kgemath.h"

namespace zeqsdk_400 {

const KZeqXMatrix& KZeqTransformCache::Global(KZeqNode& node) {
    return KZeqComputeDown(mGlobals, node, [this](KZeqNode& at, const KZeqXMatrix* parent) {
        KZeqXMatrix global = mTimed ? at.EvaluateLocalTransform(mTime) : at.EvaluateLocalTransform();
        // The local transform applied first, then the parent's global (ComputeGlobalMatrixZeqStyle).
        if (parent) KmAA(global, *parent, global);
        return global;
    });
}

bool KZeqTransformCache::FullTransformUp(KZeqNode& node) {
    return KZeqComputeDown(mFullUp, node, [](KZeqNode& at, const bool* parent) {
        return (parent && *parent) || at.NeedsFullTransform();
    });
}

}  // namespace zeqsdk_400
