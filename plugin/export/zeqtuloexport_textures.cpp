#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::DefineTextures(TObject&, ZeqTuloNode*, KLayerMapping&) { return false; }
bool ZeqTuloExport::SetLayeredTexture(ZeqTuloNode*, TObject&, KLayerMapping&) { return false; }
bool ZeqTuloExport::SetTexture(ZeqTuloNode*, TObject&, KLayerMapping&, int, int, float, int) { return false; }
