// Polygon meshes.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::CreateMeshGeometry(ZeqTuloNode* /*node*/) {}
void ZeqTuloImport::SetVertexColors(zeqsdk_400::KZeqMesh* /*mesh*/, TFnMesh& /*hostMesh*/) {}
