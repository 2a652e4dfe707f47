#ifndef ZEQ_IO_KZEQWRITERZEQ6_H
#define ZEQ_IO_KZEQWRITERZEQ6_H

#include "io/kzeqwriterzeqbase.h"

namespace zeqsdk_400 {

// Writes scenes as version-6.0 Zeq files (6000): "Definitions", "Switcher",
// "Objects", "Media", "GoboManager", "MARKERSET", "ACTOR",
// "SceneGenericPersistence", "Version5", "Connections", "Takes", then the
// "Summary". The sections' writers are the rows of kZeq6WriteSteps.
class KZeqWriterZeq6 : public KZeqWriterZeqBase {
public:
    KZeqWriterZeq6(KZeqSdkManager& manager, KZeqExporter& exporter);
};

}  // namespace zeqsdk_400

#endif
