#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

TObject ZeqTuloExport::FindShadingGroup(TDagPath*) { return TObject::kNullObj; }
TObject ZeqTuloExport::FindShader(TObject&) { return TObject::kNullObj; }
TObject ZeqTuloExport::FindPlug(TObject&, const char*) { return TObject::kNullObj; }
int ZeqTuloExport::DefineMaterial(const char*, TObject&, KZeqGeometry*) { return -1; }
void ZeqTuloExport::SetNodeGeometryMaterial(ZeqTuloNode*) {}
int ZeqTuloExport::GetLastChildOfThisType(TDagPath*, unsigned int) { return -1; }
void ZeqTuloExport::GoInDagGraph(TDagPath*) {}
