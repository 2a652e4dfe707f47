// The export's command rows, in registration order.
#include <iterator>

#include "plugin/export/commandexport.h"

ZeqTuloCommandTable ZeqTuloExportCommands() {
    static const ZeqTuloCommandRow kRows[] = {
        {CommandExport::kName, CommandExport::creator},
    };
    return {kRows, std::size(kRows)};
}
