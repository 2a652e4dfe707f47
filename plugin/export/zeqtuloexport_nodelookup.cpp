// Nodes found by the host path they stand for.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

ZeqTuloNode* ZeqTuloExport::GetNodeWithThisChildren(ZeqTuloNode*, TDagPath*) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::GetNodeWithThisChildren(ZeqTuloNode*, const char*) { return nullptr; }
