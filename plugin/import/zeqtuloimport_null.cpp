// Nulls, skeleton nodes and joints.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::CreateSkeletonGeometry(ZeqTuloNode& /*node*/, int /*type*/) {}
TObject ZeqTuloImport::CreateNullGeometry(ZeqTuloNode* /*node*/) { return TObject(); }
void ZeqTuloImport::CreateJointGeometry(ZeqTuloNode* /*node*/) {}
