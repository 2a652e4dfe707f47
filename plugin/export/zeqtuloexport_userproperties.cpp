// User attributes of host transforms as user properties.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::AddUserProperties(ZeqTuloNode*) {}
void ZeqTuloExport::AddUserProperties(TFnTransform&, ZeqTuloNode*) {}
TStatus ZeqTuloExport::ExportUserProperties(ZeqTuloNode&, TFnTransform&) { return TStatus::kSuccess; }
