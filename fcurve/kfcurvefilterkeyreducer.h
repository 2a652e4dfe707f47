#ifndef ZEQ_FCURVE_KFCURVEFILTERKEYREDUCER_H
#define ZEQ_FCURVE_KFCURVEFILTERKEYREDUCER_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Thins a densely keyed curve to the few cubic keys needed to stay within a
// precision of it (a Bezier fit): starting from the span's two end keys, the
// input key that the reduced curve misses most is inserted with its own
// tangents, and each side is refined the same way until every input key lies
// within the precision. The reduced keys then take the place of the curve's
// keys over the span. Optionally the curves reduced together (an array, or a
// node's children) are given keys at the same times afterwards.
class KFCurveFilterKeyReducer : public KFCurveFilter {
public:
    KFCurveFilterKeyReducer();

    // Largest allowed difference, in value units, between an input key and
    // the reduced curve (1 after Reset).
    double GetPrecision() const { return mPrecision; }
    void SetPrecision(double precision) { mPrecision = precision; }
    // Synchronise the keys of the curves of an array or a node after reducing
    // them (off after Reset). Only the outermost call synchronises.
    bool GetKeySync() const { return mKeySync; }
    void SetKeySync(bool keySync) { mKeySync = keySync; }

    using KFCurveFilter::NeedApply;
    // Fewer than two keys, or a span that holds no time: error 1, false, the
    // curve unchanged.
    bool Apply(KFCurve& curve) override;
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;

    void Reset() override;

    // Fills reduced (a curve without keys) with the reduction of source over
    // [start, stop]: the keys at and around the span's ends, and what
    // Subdivise adds between them. Answers true.
    bool KeyReducer(KFCurve& source, KFCurve& reduced, KTime start, KTime stop);
    // Adds to reduced the source keys needed between source keys first and
    // last, both already in reduced. False when none was needed. The work
    // is kept on an explicit stack: a curve of any length cannot exhaust
    // the call stack, however deep the refinement goes.
    bool Subdivise(KFCurve& source, KFCurve& reduced, int first, int last);
    // The largest squared difference between the source keys first to last - 1
    // and the reduced curve at their times, with the (lowest) index where it
    // is reached; 0 (index untouched) when every key is met exactly.
    double FindMaxError(KFCurve& source, KFCurve& reduced, int first, int last, int& index);

private:
    // Inserts source key index into reduced with its own tangents, keeping
    // the tangent into the following reduced key. False when memory runs out.
    bool InsertKey(KFCurve& source, KFCurve& reduced, int index);

    double mPrecision = 1.0;
    int mDepth = 0;  // refinement depth, for the progress hook
    bool mKeySync = false;
};

}  // namespace zeqsdk_400

#endif
