// Cameras.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::CreateCameraGeometry(ZeqTuloNode& /*node*/) {}
