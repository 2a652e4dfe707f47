// Lights.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::CreateLightGeometry(ZeqTuloNode& /*node*/) {}
