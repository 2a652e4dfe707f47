#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

ZeqTuloNode* ZeqTuloExport::BuildNullGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::BuildJointGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::BuildMeshGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::BuildClusterGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
