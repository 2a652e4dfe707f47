#include "io/kstreamoptionsdxf.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptionsDxf, KStreamOptionsBase, "KStreamOptionsDxf")

KStreamOptionsDxf::KStreamOptionsDxf() { KStreamOptionsDxf::Reset(); }

void KStreamOptionsDxf::Reset() {
    KStreamOptionsBase::Reset();
    DefineOption(eCREATE_REFERENCE_NODE, "Create Reference Node", eBOOLEAN, 1);
    DefineOption(eFORCE_TRIANGULATION, "Force Triangulation", eBOOLEAN, 1);
    DefineOption(eEVALUATE_DEFORMATIONS, "Evaluate Link/Shape deformations", eBOOLEAN, 1);
    DefineOption(eWELD_VERTICES, "Weld Vertices", eBOOLEAN, 1);
    DefineOption(eOBJECT_DERIVATION, "Object Derivation", eLABEL, 0);
    DefineOption(eLAYER_BLOCK_ENTITY, "Layer~Block~Entity", eCHOICE, 0);
}

KStreamOptionsDxf::EObjectDerivation KStreamOptionsDxf::GetObjectDerivation() const {
    switch (GetOption(eLAYER_BLOCK_ENTITY)) {
        case 1: return eBY_BLOCK;
        case 2: return eBY_ENTITY;
        default: return eBY_LAYER;
    }
}

}  // namespace zeqsdk_400
