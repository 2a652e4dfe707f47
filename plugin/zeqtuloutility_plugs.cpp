// Plug access: plugs by name, names a host command accepts, and matrices written through
// "setAttr".
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtuloutility.h"
#include "tglobal.h"

TStatus ZeqTuloUtility::FindPlug(ZeqTuloNode& node, TPlug& plug, const char* name) {
    return FindPlug(node.GetDagPath(), plug, name);
}

TStatus ZeqTuloUtility::FindPlug(const TDagPath* path, TPlug& plug, const char* name) {
    TStatus status(TStatus::kFailure);
    if (!path) return status;
    TObject object = path->node(&status);
    if (!status) return status;
    TFnDependencyNode fn(object, &status);
    if (!status) return status;
    plug = fn.findPlug(name ? name : "", &status);
    return status;
}

TStatus ZeqTuloUtility::GetPlugUniqueName(const TPlug& plug, TString& name) {
    TStatus status;
    TDagPath path;
    status = TDagPath::getAPathTo(plug.node(), path);
    if (status) {
        name = path.fullPathName();
        name += ".";
        name += plug.partialName(false, false, false, false, false, true);
        return status;
    }
    // Off the DAG (a dag pose, a skin cluster): the host's own text of the plug.
    name = plug.info();
    return TStatus::kSuccess;
}

void ZeqTuloUtility::SetPlugMatrix(const TPlug& plug, const double* values, bool useInfo) {
    TString name;
    if (useInfo) {
        name = plug.info();
    } else {
        TStatus status = GetPlugUniqueName(plug, name);
        DebugCheckStatus(status, nullptr);
    }
    TString command("setAttr ");
    command += name;
    command += " -type ";
    command += "\"matrix\" ";
    for (int k = 0; k < 16; ++k) {
        if (k) command += " ";
        command += values[k];
    }
    TStringArray result;
    TStatus status = TGlobal::executeCommand(command, result, false, false);
    DebugCheckStatus(status, nullptr);
}

bool ZeqTuloUtility::GetPlug(TFnDependencyNode& node, const char* name, TPlug& plug) {
    TStatus status;
    plug = node.findPlug(name ? name : "", &status);
    if (status) return true;
    TString text("Plug not found : ");
    text += name ? name : "";
    status.perror(text);
    return false;
}
