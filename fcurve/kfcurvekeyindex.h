#ifndef ZEQ_FCURVE_KFCURVEKEYINDEX_H
#define ZEQ_FCURVE_KFCURVEKEYINDEX_H

// Internal: positions of a time among the keys of a curve, by bisection.

#include "base/ktime.h"
#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {
namespace keyindex {

// Number of keys with a time strictly before time.
inline int CountBefore(const KFCurve& curve, KTime time) {
    int low = 0;
    int high = curve.KeyGetCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (curve.KeyGetPtr(middle)->GetTime() < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// Number of keys with a time at or before time.
inline int CountAtOrBefore(const KFCurve& curve, KTime time) {
    return time == KTime::Infinite() ? curve.KeyGetCount() : CountBefore(curve, KTime(time.Get() + 1));
}

}  // namespace keyindex
}  // namespace zeqsdk_400

#endif
