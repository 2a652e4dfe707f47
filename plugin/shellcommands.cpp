// The shell's command rows, in registration order.
#include <iterator>

#include "plugin/commandoptions.h"

ZeqTuloCommandTable ZeqTuloShellCommands() {
    static const ZeqTuloCommandRow kRows[] = {
        {CommandImportShowUI::kName, CommandImportShowUI::creator},
        {CommandImportConvertDeformingNullsToJoint::kName, CommandImportConvertDeformingNullsToJoint::creator},
        {CommandImportHardEdges::kName, CommandImportHardEdges::creator},
        {CommandImportProtectDrivenKeys::kName, CommandImportProtectDrivenKeys::creator},
        {CommandExportShowUI::kName, CommandExportShowUI::creator},
        {CommandExportHardEdges::kName, CommandExportHardEdges::creator},
        {CommandSetUserParams::kName, CommandSetUserParams::creator},
    };
    return {kRows, std::size(kRows)};
}
