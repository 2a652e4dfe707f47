// Default transforms and transform animation of every node.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

TStatus ZeqTuloExport::ExportTransform(ZeqTuloNode&) { return TStatus::kSuccess; }
void ZeqTuloExport::ExportDefaultTransform(TFnTransform, KZeqTakeNode&) {}
void ZeqTuloExport::AdjustTransform(ZeqTuloNode&, TFnTransform&, KFCurveNode&) {}
