// The import's command rows, in registration order (ZEQImport, ZEQRead and the take queries join
// here).
#include "plugin/zeqtulocommand.h"

ZeqTuloCommandTable ZeqTuloImportCommands() { return {nullptr, 0}; }
