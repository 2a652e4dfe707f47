#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::SetVertexColors(KZeqMesh*, TFnMesh&) { return true; }
