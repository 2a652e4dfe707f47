#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

ZeqTuloNode* ZeqTuloExport::BuildLightGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::BuildCameraGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
ZeqTuloNode* ZeqTuloExport::BuildLookAtGeometry(TDagPath&, TFnDagNode&) { return nullptr; }
