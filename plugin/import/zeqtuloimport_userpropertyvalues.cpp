// User-property values and animation onto the host attributes made at creation. Not built yet: a
// stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::ImportUserProperties(ZeqTuloNode& /*node*/) {}
