// Blend-shape targets and weight animation. Not built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::ImportShapeAnimation(ZeqTuloNode& /*node*/) {}
