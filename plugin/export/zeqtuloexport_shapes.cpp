// Blend shapes of the exported geometry.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::ExportShape(ZeqTuloNode*) {}
void ZeqTuloExport::SetShapeOnModels(TDagPath*, ZeqTuloNode*) {}
void ZeqTuloExport::GoInDepencyGraph(TObject*, TItDependencyGraph::Level) {}
