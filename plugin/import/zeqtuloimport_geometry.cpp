// The geometry pass.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::ImportGeometry() { return TStatus::kSuccess; }
TStatus ZeqTuloImport::ImportGeometry(ZeqTuloNode* /*node*/) { return TStatus::kSuccess; }
bool IsCameraGroup(ZeqTuloNode* /*node*/) { return false; }
