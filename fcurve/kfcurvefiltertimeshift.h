#ifndef ZEQ_FCURVE_KFCURVEFILTERTIMESHIFT_H
#define ZEQ_FCURVE_KFCURVEFILTERTIMESHIFT_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Moves every key of a curve in time: adds the shift, then multiplies the
// time (in seconds) by the scale. The filter's span is not used: every key
// moves. A new filter shifts by 0 and scales by 1 and, unlike the other
// filters, starts with the span 0 .. 0; Reset changes only the span.
class KFCurveFilterTimeShiftAndScale : public KFCurveFilter {
public:
    KFCurveFilterTimeShiftAndScale();

    virtual KTime& GetShift() { return mShift; }
    virtual void SetShift(KTime& shift) { mShift = shift; }
    virtual double GetScale() { return mScale; }
    // A scale of 0 or less is not applied.
    virtual void SetScale(double scale) { mScale = scale; }

    bool Apply(KFCurveNode& node, bool recursive = true) override;
    bool Apply(KFCurve** curves, int count) override;
    // True when the keys moved. Nothing to do (shift 0 and a scale of 1 or not
    // above 0): error 1. No keys: error 0. Keys that would leave the time line
    // or land on one another (a scale so small that two times round to the
    // same tick): error 1, and no key moves.
    bool Apply(KFCurve& curve) override;

private:
    KTime mShift;
    double mScale;
};

}  // namespace zeqsdk_400

#endif
