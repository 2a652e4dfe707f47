#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

ZeqTuloNode* ZeqTuloExport::ExportGeometryNurb(TDagPath&, TFnDagNode&) { return nullptr; }
