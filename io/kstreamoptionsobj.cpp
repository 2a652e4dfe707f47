#include "io/kstreamoptionsobj.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptionsObj, KStreamOptionsBase, "KStreamOptionsObj")

KStreamOptionsObj::KStreamOptionsObj() { KStreamOptionsObj::Reset(); }

void KStreamOptionsObj::Reset() {
    KStreamOptionsBase::Reset();
    DefineOption(eCREATE_REFERENCE_NODE, "Create Reference Node", eBOOLEAN, 1);
    DefineOption(eFORCE_TRIANGULATION, "Force Triangulation", eBOOLEAN, 0);
    DefineOption(eEVALUATE_DEFORMATIONS, "Evaluate Link/Shape deformations", eBOOLEAN, 1);
}

}  // namespace zeqsdk_400
