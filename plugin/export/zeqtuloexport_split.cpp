#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::RemoveTargetShapeGeometry() {}
void ZeqTuloExport::SplitMeshOnNormalPerPolyVertex(ZeqTuloNode*) {}
