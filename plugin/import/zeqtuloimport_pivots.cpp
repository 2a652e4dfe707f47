// Pivots: joint orient, rotate axis, pivots and pivot translations from the Zeq pivot data. Not
// built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::ImportPivots(TFnTransform& /*transform*/, ZeqTuloNode& /*node*/) {}
