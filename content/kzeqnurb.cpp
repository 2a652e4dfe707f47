#include "content/kzeqnurb.h"

#include <algorithm>
#include <climits>
#include <new>

namespace zeqsdk_400 {

namespace {

long long KnotCountOf(long long count, long long order, KZeqNurb::ENurbType type) {
    return type == KZeqNurb::eOPEN ? count + order : count + 2 * order - 1;
}

// Zero-filled, or null when memory runs out.
template <class T>
std::unique_ptr<T[]> Allocate(int count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]());
}

}  // namespace

KZeqNurb::KZeqNurb(KZeqSdkManager& manager) : KZeqGeometry(manager) { Reset(); }

KZeqNurb::~KZeqNurb() { Reset(); }

void KZeqNurb::Reset() {
    mUKnots.reset();
    mVKnots.reset();
    mUMultiplicities.reset();
    mVMultiplicities.reset();
    mUOrder = mVOrder = mUCount = mVCount = mUStep = mVStep = 0;
    mUType = mVType = eOPEN;
    mSurfaceMode = eHIGH;
    mApplyFlipUV = mApplyFlipLinks = false;
}

int KZeqNurb::KnotCount(int count, int order, ENurbType type) {
    const long long knots = KnotCountOf(count, order, type);
    return knots < 0 ? 0 : knots > INT_MAX ? INT_MAX : static_cast<int>(knots);
}

bool KZeqNurb::Fits(int count, int order, ENurbType type) {
    const long long knots = KnotCountOf(count, order, type);
    return count >= 0 && knots <= INT_MAX;
}

void KZeqNurb::Resize(std::unique_ptr<double[]>& knots, int from, int to) {
    if (!knots || from == to) return;
    // Without memory the vector goes: none is safer than one too short.
    std::unique_ptr<double[]> resized = Allocate<double>(to);
    if (resized) std::copy(knots.get(), knots.get() + std::min(from, to), resized.get());
    knots = std::move(resized);
}

void KZeqNurb::SetOrder(unsigned int u, unsigned int v) {
    // Orders past the int range cannot size a knot vector.
    const int uOrder = static_cast<int>(std::min<unsigned int>(u, INT_MAX / 2));
    const int vOrder = static_cast<int>(std::min<unsigned int>(v, INT_MAX / 2));
    const int uFrom = GetUKnotCount(), vFrom = GetVKnotCount();
    mUOrder = uOrder;
    mVOrder = vOrder;
    Resize(mUKnots, uFrom, GetUKnotCount());
    Resize(mVKnots, vFrom, GetVKnotCount());
}

bool KZeqNurb::InitControlPoints(int uCount, ENurbType uType, int vCount, ENurbType vType) {
    if (!Fits(uCount, mUOrder, uType) || !Fits(vCount, mVOrder, vType) ||
        static_cast<long long>(uCount) * vCount > INT_MAX)
        return false;
    std::unique_ptr<double[]> uKnots = Allocate<double>(KnotCount(uCount, mUOrder, uType));
    std::unique_ptr<double[]> vKnots = Allocate<double>(KnotCount(vCount, mVOrder, vType));
    std::unique_ptr<int[]> uMultiplicities = Allocate<int>(uCount);
    std::unique_ptr<int[]> vMultiplicities = Allocate<int>(vCount);
    if (!uKnots || !vKnots || !uMultiplicities || !vMultiplicities) return false;
    KZeqLayerContainer::InitControlPoints(uCount * vCount);
    if (GetControlPointsCount() != uCount * vCount) return false;
    mUCount = uCount;
    mVCount = vCount;
    mUType = uType;
    mVType = vType;
    mUKnots = std::move(uKnots);
    mVKnots = std::move(vKnots);
    mUMultiplicities = std::move(uMultiplicities);
    mVMultiplicities = std::move(vMultiplicities);
    std::fill(mUMultiplicities.get(), mUMultiplicities.get() + uCount, 1);
    std::fill(mVMultiplicities.get(), mVMultiplicities.get() + vCount, 1);
    return true;
}

KZeqNurb& KZeqNurb::operator=(KZeqNurb& source) {
    if (this == &source) return *this;
    Reset();
    mApplyFlipUV = source.mApplyFlipUV;
    mApplyFlipLinks = source.mApplyFlipLinks;
    mSurfaceMode = source.mSurfaceMode;
    mUOrder = source.mUOrder;
    mVOrder = source.mVOrder;
    mUStep = source.mUStep;
    mVStep = source.mVStep;
    InitControlPoints(source.mUCount, source.mUType, source.mVCount, source.mVType);
    // A vector the source lacks is not read: the copy lacks it too.
    auto copy = [](auto& to, const auto& from, int count) {
        if (from && to)
            std::copy(from.get(), from.get() + count, to.get());
        else
            to.reset();
    };
    copy(mUKnots, source.mUKnots, GetUKnotCount());
    copy(mVKnots, source.mVKnots, GetVKnotCount());
    copy(mUMultiplicities, source.mUMultiplicities, mUCount);
    copy(mVMultiplicities, source.mVMultiplicities, mVCount);
    KZeqGeometry::operator=(source);
    return *this;
}

}  // namespace zeqsdk_400
