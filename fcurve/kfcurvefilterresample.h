#ifndef ZEQ_FCURVE_KFCURVEFILTERRESAMPLE_H
#define ZEQ_FCURVE_KFCURVEFILTERRESAMPLE_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Replaces the keys of a curve inside the filter's span by keys sampled every
// period (cubic keys with auto tangents, or in intelligent mode keys of the
// kind of the curve's key before each sample), keeping the keys outside the
// span. An open end of the span stands for the curve's first or last key.
class KFCurveFilterResample : public KFCurveFilter {
public:
    enum {
        eBadPeriod = 0,
        eBadInterval = 1,
    };

    KFCurveFilterResample();

    virtual void SetKeysOnFrame(bool keysOnFrame) { mKeysOnFrame = keysOnFrame; }
    virtual bool GetKeysOnFrame() { return mKeysOnFrame; }
    virtual KTime GetPeriodTime() { return mPeriod; }
    virtual void SetPeriodTime(KTime& period) { mPeriod = period; }

    void SetIntelligentMode(bool intelligent) { mIntelligentMode = intelligent; }
    bool GetIntelligentMode() const { return mIntelligentMode; }

    bool Apply(KFCurveNode& node, bool recursive = true) override;
    bool Apply(KFCurve** curves, int count) override;
    // A period not above 0: error 0. No span to sample (a curve without keys
    // and an open span, or a span that ends before it starts): error 1. A span
    // with more samples than a curve can hold: error 1. The curve is left as it
    // was in each case.
    bool Apply(KFCurve& curve) override;

    // Keys off the frames, a period of one frame of the default mode,
    // intelligent mode off, the whole time line.
    void Reset() override;

private:
    bool mKeysOnFrame;
    KTime mPeriod;
    bool mIntelligentMode;
};

}  // namespace zeqsdk_400

#endif
