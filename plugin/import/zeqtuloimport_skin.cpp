// Host skin clusters of the skin links of a subtree. Not built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::BuildClusterInformation(ZeqTuloNode* /*node*/) {}
