#ifndef ZEQ_CONTENT_KZEQPATCH_H
#define ZEQ_CONTENT_KZEQPATCH_H

#include "content/kzeqgeometry.h"

namespace zeqsdk_400 {

// A parametric patch: a basis type, a control-point count, display steps and
// closed and capped flags per direction. The control points number
// U count x V count, U running fastest.
class KZeqPatch : public KZeqGeometry {
public:
    enum EPatchType : int { eBEZIER = 0, eBEZIER_QUADRIC = 1, eCARDINAL = 2, eBSPLINE = 3, eLINEAR = 4 };

    explicit KZeqPatch(KZeqSdkManager& manager);
    ~KZeqPatch() override;

    EAttributeType GetAttributeType() const override { return ePATCH; }
    KString GetTypeName() const override { return KString("Patch"); }
    KStringList GetTypeFlags() const override { return KStringList(); }

    // Linear both ways, counts and steps 0, flags false, surface mode 4.
    // Points and layers stay.
    void Reset();

    // U count x V count zero points. False, with nothing changed, for a
    // negative count or a product past the int range.
    bool InitControlPoints(int uCount, EPatchType uType, int vCount, EPatchType vType);
    int GetUCount() const { return mUCount; }
    int GetVCount() const { return mVCount; }
    EPatchType GetPatchUType() const { return mUType; }
    EPatchType GetPatchVType() const { return mVType; }
    void SetStep(int u, int v) {
        mUStep = u;
        mVStep = v;
    }
    int GetUStep() const { return mUStep; }
    int GetVStep() const { return mVStep; }
    void SetClosed(bool u, bool v) {
        mUClosed = u;
        mVClosed = v;
    }
    bool GetUClosed() const { return mUClosed; }
    bool GetVClosed() const { return mVClosed; }
    void SetUCapped(bool bottom, bool top) {
        mUCappedBottom = bottom;
        mUCappedTop = top;
    }
    bool GetUCappedBottom() const { return mUCappedBottom; }
    bool GetUCappedTop() const { return mUCappedTop; }
    void SetVCapped(bool bottom, bool top) {
        mVCappedBottom = bottom;
        mVCappedTop = top;
    }
    bool GetVCappedBottom() const { return mVCappedBottom; }
    bool GetVCappedTop() const { return mVCappedTop; }
    void SetSurfaceMode(ESurfaceMode mode) { mSurfaceMode = mode; }
    ESurfaceMode GetSurfaceMode() const { return mSurfaceMode; }

    // Settings and counts, then the geometry's copy.
    KZeqPatch& operator=(KZeqPatch& source);

private:
    EPatchType mUType = eLINEAR;
    EPatchType mVType = eLINEAR;
    int mUCount = 0;
    int mVCount = 0;
    int mUStep = 0;
    int mVStep = 0;
    bool mUClosed = false;
    bool mVClosed = false;
    bool mUCappedBottom = false;
    bool mUCappedTop = false;
    bool mVCappedBottom = false;
    bool mVCappedTop = false;
    ESurfaceMode mSurfaceMode = eHIGH;
};

}  // namespace zeqsdk_400

#endif
