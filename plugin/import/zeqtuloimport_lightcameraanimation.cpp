// Light and camera settings and their animation. Not built yet: stubs.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::ImportAnimationLight(ZeqTuloNode& /*node*/) { return TStatus::kSuccess; }
TStatus ZeqTuloImport::ImportAnimationCamera(ZeqTuloNode& /*node*/) { return TStatus::kSuccess; }
