// Global translation, rotation and scaling of every node.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::ExtractGlobalTransforms(ZeqTuloNode*) {}
