#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

TStatus ZeqTuloExport::BuildGeometry(TItDag::TraversalType, TFn::Type) { return TStatus::kSuccess; }
bool ZeqTuloExport::IsExportable(TDagPath& path, TFnDagNode&) { return path.hasFn(TFn::kTransform); }
bool FindObject(ZeqLogFile*, TDagPath&, TFnDagNode&, TStatus&, int, TObject&, TObject&, TObject&, TString&, bool&) { return false; }
