// Visibility animation: the "visibility" channel as an on/off curve and a static value. Not built
// yet: a stub.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::ImportAnimationVisibility(ZeqTuloNode& /*node*/) { return TStatus::kSuccess; }
