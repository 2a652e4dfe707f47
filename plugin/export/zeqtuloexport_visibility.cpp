#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

bool ZeqTuloExport::GetNodeVisibility(TFnDagNode&) { return true; }
bool ZeqTuloExport::ExportAnimatedVisibility(ZeqTuloNode&, KFCurve&) { return false; }
