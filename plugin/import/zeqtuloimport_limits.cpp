// Transform limits through the host's limit command. Not built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::ImportLimits(TFnTransform& /*transform*/, ZeqTuloNode& /*node*/) {}
