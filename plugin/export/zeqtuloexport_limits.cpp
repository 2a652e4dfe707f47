// Limits and rotation orders of host transforms.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::ExportLimits(ZeqTuloNode&) {}
void ZeqTuloExport::ExportRotationOrder(ZeqTuloNode&) {}
