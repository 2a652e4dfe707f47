#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::WriteNodeMesh(TFnMesh&, ZeqTuloNode*, TObject&, TObject&) {}
