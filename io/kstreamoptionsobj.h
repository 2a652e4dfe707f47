#ifndef ZEQ_IO_KSTREAMOPTIONSOBJ_H
#define ZEQ_IO_KSTREAMOPTIONSOBJ_H

#include "io/kstreamoptionsbase.h"

namespace zeqsdk_400 {

// The options of the OBJ reader and writer: 1 "Create Reference Node" (on,
// read), 2 "Force Triangulation" (off, write), 3 "Evaluate Link/Shape
// deformations" (on, write).
class KStreamOptionsObj : public KStreamOptionsBase {
    KZEQ_CLASS_DECLARE(KStreamOptionsObj)

public:
    KStreamOptionsObj();
    void Reset() override;
};

}  // namespace zeqsdk_400

#endif
