#ifndef ZEQ_CONTENT_KZEQNURB_H
#define ZEQ_CONTENT_KZEQNURB_H

#include <memory>

#include "content/kzeqgeometry.h"

namespace zeqsdk_400 {

// A NURBS surface: per direction an order, a control-point count, a knot type,
// a knot vector and a multiplicity vector, and display steps. The control
// points number U count x V count, U running fastest.
class KZeqNurb : public KZeqGeometry {
public:
    enum ENurbType : int { ePERIODIC = 0, eCLOSED = 1, eOPEN = 2 };

    explicit KZeqNurb(KZeqSdkManager& manager);
    ~KZeqNurb() override;

    EAttributeType GetAttributeType() const override { return eNURB; }
    KString GetTypeName() const override { return KString("Nurb"); }
    KStringList GetTypeFlags() const override { return KStringList(); }

    // Drops the knot and multiplicity vectors; orders, counts and steps 0,
    // both types open, surface mode 4, no flips. Points and layers stay.
    void Reset();

    // Knot vectors already made keep their values and follow the new knot counts.
    void SetOrder(unsigned int u, unsigned int v);
    int GetUOrder() const { return mUOrder; }
    int GetVOrder() const { return mVOrder; }
    void SetStep(int u, int v) {
        mUStep = u;
        mVStep = v;
    }
    int GetUStep() const { return mUStep; }
    int GetVStep() const { return mVStep; }
    void SetSurfaceMode(ESurfaceMode mode) { mSurfaceMode = mode; }
    ESurfaceMode GetSurfaceMode() const { return mSurfaceMode; }
    void SetApplyFlipUV(bool flip) { mApplyFlipUV = flip; }
    bool GetApplyFlipUV() const { return mApplyFlipUV; }
    void SetApplyFlipLinks(bool flip) { mApplyFlipLinks = flip; }
    bool GetApplyFlipLinks() const { return mApplyFlipLinks; }

    // U count x V count zero points, new zero knot vectors of the knot counts
    // (set the orders first) and multiplicities of 1. False, with nothing
    // changed, for a negative count or sizes past the int range.
    bool InitControlPoints(int uCount, ENurbType uType, int vCount, ENurbType vType);
    int GetUCount() const { return mUCount; }
    int GetVCount() const { return mVCount; }
    ENurbType GetNurbUType() const { return mUType; }
    ENurbType GetNurbVType() const { return mVType; }

    // Null when none.
    double* GetUKnotVector() { return mUKnots.get(); }
    double* GetVKnotVector() { return mVKnots.get(); }
    // count + order when open, count + 2 x order - 1 otherwise (never below 0).
    int GetUKnotCount() const { return KnotCount(mUCount, mUOrder, mUType); }
    int GetVKnotCount() const { return KnotCount(mVCount, mVOrder, mVType); }
    int* GetUMultiplicityVector() { return mUMultiplicities.get(); }
    int* GetVMultiplicityVector() { return mVMultiplicities.get(); }

    // Settings, counts, the vectors the source has (none of those it lacks),
    // then the geometry's copy.
    KZeqNurb& operator=(KZeqNurb& source);

private:
    friend class KZeqGeometryConverter;  // swaps the U and V settings of its copies

    static int KnotCount(int count, int order, ENurbType type);
    static bool Fits(int count, int order, ENurbType type);
    // The vector to length count, values kept; nothing when there is none.
    static void Resize(std::unique_ptr<double[]>& knots, int from, int to);

    int mUOrder = 0;
    int mVOrder = 0;
    int mUCount = 0;
    int mVCount = 0;
    int mUStep = 0;
    int mVStep = 0;
    ENurbType mUType = eOPEN;
    ENurbType mVType = eOPEN;
    std::unique_ptr<double[]> mUKnots;
    std::unique_ptr<double[]> mVKnots;
    std::unique_ptr<int[]> mUMultiplicities;
    std::unique_ptr<int[]> mVMultiplicities;
    ESurfaceMode mSurfaceMode = eHIGH;
    bool mApplyFlipUV = false;
    bool mApplyFlipLinks = false;
};

}  // namespace zeqsdk_400

#endif
