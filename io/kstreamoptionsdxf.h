#ifndef ZEQ_IO_KSTREAMOPTIONSDXF_H
#define ZEQ_IO_KSTREAMOPTIONSDXF_H

#include "io/kstreamoptionsbase.h"

namespace zeqsdk_400 {

// The options of the DXF reader and writer: 1 "Create Reference Node", 2
// "Force Triangulation", 3 "Evaluate Link/Shape deformations" and 4 "Weld
// Vertices" (all on), the label 5 "Object Derivation" and its choice 6
// "Layer~Block~Entity" (0, by layer).
class KStreamOptionsDxf : public KStreamOptionsBase {
    KZEQ_CLASS_DECLARE(KStreamOptionsDxf)

public:
    // How the reader groups entities into nodes.
    enum EObjectDerivation : int { eBY_LAYER = 0, eBY_ENTITY = 1, eBY_BLOCK = 2 };

    KStreamOptionsDxf();
    void Reset() override;

    // Choice 0 (Layer) by layer, 1 (Block) by block, 2 (Entity) by entity;
    // any other value by layer.
    EObjectDerivation GetObjectDerivation() const;
};

}  // namespace zeqsdk_400

#endif
