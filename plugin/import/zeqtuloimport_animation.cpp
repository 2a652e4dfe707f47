// The animation pass: each node of a subtree, parents first, gets its transform, visibility and
// user-property animation. Not built yet: the pass runs and changes nothing.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::ImportAnimation(ZeqTuloNode& /*node*/) { return TStatus::kSuccess; }
