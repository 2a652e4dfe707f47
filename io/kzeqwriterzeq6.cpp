#include "io/kzeqwriterzeq6.h"

#include "io/kzeqwriterzeq_steps.h"

namespace zeqsdk_400 {

KZeqWriterZeq6::KZeqWriterZeq6(KZeqSdkManager& manager, KZeqExporter& exporter)
    : KZeqWriterZeqBase(manager, exporter, kZeq6Layout) {}

}  // namespace zeqsdk_400
