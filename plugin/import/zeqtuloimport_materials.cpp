// Host shaders and textures of the materials of a subtree. Not built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::BuildMaterialInformation(ZeqTuloNode* /*node*/) {}
