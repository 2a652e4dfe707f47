// Light values and their animation.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::ExportLights(TDagPath&, ZeqTuloNode&) { return false; }
void ZeqTuloExport::ExportLightAttributesDefaults(TDagPath&, ZeqTuloNode&) {}
bool ZeqTuloExport::ExportLightAttributesCurves(ZeqTuloNode&) { return false; }
