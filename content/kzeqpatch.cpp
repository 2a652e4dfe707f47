#include "content/kzeqpatch.h"

#include <climits>

namespace zeqsdk_400 {

KZeqPatch::KZeqPatch(KZeqSdkManager& manager) : KZeqGeometry(manager) { Reset(); }

KZeqPatch::~KZeqPatch() { Reset(); }

void KZeqPatch::Reset() {
    mUType = mVType = eLINEAR;
    mUCount = mVCount = mUStep = mVStep = 0;
    mUClosed = mVClosed = false;
    mUCappedBottom = mUCappedTop = mVCappedBottom = mVCappedTop = false;
    mSurfaceMode = eHIGH;
}

bool KZeqPatch::InitControlPoints(int uCount, EPatchType uType, int vCount, EPatchType vType) {
    if (uCount < 0 || vCount < 0 || static_cast<long long>(uCount) * vCount > INT_MAX) return false;
    KZeqLayerContainer::InitControlPoints(uCount * vCount);
    if (GetControlPointsCount() != uCount * vCount) return false;
    mUCount = uCount;
    mVCount = vCount;
    mUType = uType;
    mVType = vType;
    return true;
}

KZeqPatch& KZeqPatch::operator=(KZeqPatch& source) {
    if (this == &source) return *this;
    Reset();
    mSurfaceMode = source.mSurfaceMode;
    mUStep = source.mUStep;
    mVStep = source.mVStep;
    mUClosed = source.mUClosed;
    mVClosed = source.mVClosed;
    mUCappedBottom = source.mUCappedBottom;
    mUCappedTop = source.mUCappedTop;
    mVCappedBottom = source.mVCappedBottom;
    mVCappedTop = source.mVCappedTop;
    InitControlPoints(source.mUCount, source.mUType, source.mVCount, source.mVType);
    KZeqGeometry::operator=(source);
    return *this;
}

}  // namespace zeqsdk_400
