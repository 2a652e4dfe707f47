#include "base/ktriangulation.h"

namespace zeqsdk_400 {

void KTriangulation(int* out, int n) {
    if (!out || n < 3) return;
    out[0] = 0;
    out[1] = 1;
    out[2] = 2;
    // lo walks up from vertex 2, hi down from vertex n (vertex 0 seen from the
    // other end); the strip alternates between advancing each.
    int lo = 2;
    int hi = n;
    int* tri = out;
    for (int t = 1; t < n - 2; ++t) {
        tri += 3;
        if (t % 2 == 1) {
            tri[0] = lo;
            tri[1] = lo + 1;
            tri[2] = hi % n;
            ++lo;
        } else {
            tri[0] = hi % n;
            tri[1] = lo;
            tri[2] = hi - 1;
            --hi;
        }
    }
}

}  // namespace zeqsdk_400
