// Cluster deformers as cluster links.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::ExportRigidBinding(ZeqTuloNode*) {}
void ZeqTuloExport::ExportRigidBinding(TDagPath*, int, ZeqTuloNode*) {}
