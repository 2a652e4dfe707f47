// The module the host loads (libzeqtulo.so): its two entry points. Every command comes from the
// tables of the shell, the export and the import, registered in that order after the translator.
#include <dlfcn.h>

#include <string>
#include <vector>

#include "plugin/zeqtuloplugin.h"

namespace {

const std::vector<ZeqTuloCommandRow>& Commands() {
    static const std::vector<ZeqTuloCommandRow> rows = [] {
        std::vector<ZeqTuloCommandRow> all;
        for (ZeqTuloCommandTable table : {ZeqTuloShellCommands(), ZeqTuloExportCommands(), ZeqTuloImportCommands()})
            all.insert(all.end(), table.mRows, table.mRows + table.mCount);
        return all;
    }();
    return rows;
}

// The file name this library was loaded from, without its directory.
std::string LibraryFileName() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&LibraryFileName), &info) || !info.dli_fname) return "libzeqtulo.so";
    const std::string path = info.dli_fname;
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

extern "C" TStatus initializePlugin(TObject plugin) {
    return ZeqTuloInitialize(plugin, Commands().data(), Commands().size(), LibraryFileName().c_str(),
                             reinterpret_cast<const void*>(&LibraryFileName));
}

extern "C" TStatus uninitializePlugin(TObject plugin) {
    ZeqTuloImportRelease();
    return ZeqTuloUninitialize(plugin, Commands().data(), Commands().size());
}
