// The export's command rows, in registration order (ZEQExport and its siblings join here).
#include "plugin/zeqtulocommand.h"

ZeqTuloCommandTable ZeqTuloExportCommands() { return {nullptr, 0}; }
