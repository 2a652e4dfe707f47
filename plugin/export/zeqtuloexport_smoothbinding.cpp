// Skin clusters and their bind poses.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::ExportSmoothBinding() {}
void ZeqTuloExport::ExportSmoothBinding(TObject&, int, int, KZeqPose*) {}
void ZeqTuloExport::PromptForFallbackMatrix(TDagPath*, bool&, ZeqLogFile*) {}
