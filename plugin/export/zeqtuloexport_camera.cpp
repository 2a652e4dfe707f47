// Camera values and their animation.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::ExportCamera(ZeqTuloNode&) { return false; }
void ZeqTuloExport::ExportCameraAttributesDefaults(ZeqTuloNode&, KTuloExportCameraInfo*) {}
void ZeqTuloExport::ExportCameraCurvesDefaults(ZeqTuloNode&, KTuloExportCameraInfo*) {}
bool ZeqTuloExport::ExportCameraCurves(ZeqTuloNode&, KTuloExportCameraInfo*) { return false; }
