// Clean-up of the finished scene: the nodes made for blend-shape targets are taken out, and with
// hard edges meshes with normals per polygon vertex get a control point per polygon vertex, so that
// every written mesh has its normals per control point.
#include <string>
#include <vector>

#include "content/kzeqmesh.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"

using namespace zeqsdk_400;

void ZeqTuloExport::RemoveTargetShapeGeometry() {
    while (mTargetShapeNodes.GetCount() > 0) {
        ZeqTuloNode* node = mTargetShapeNodes.GetLast();
        if (node) {
            if (KZeqNode* parent = node->GetParent()) parent->RemoveChild(node);
            mSdkManager.DestroyZeqTuloNode(node, true);
        }
        mTargetShapeNodes.RemoveLast();
    }
}

namespace {

const int kDialogLines = 39;

// Control points of the mesh that share a position: one log line each, the first 39 in a dialog.
void ReportSharedPositions(KZeqMesh& mesh, const char* nodeName, ZeqLogFile* log) {
    KArrayTemplate<int> merge(16);
    if (!mesh.BuildMergeList(merge, KZeqMesh::eNORMALS, true)) return;
    KString message;
    int count = 0;
    for (int i = 0; i < merge.GetCount(); ++i) {
        if (merge[i] == i) continue;
        // Formatted without a fixed buffer: names of any length fit.
        const std::string line = "Vertices " + std::to_string(merge[i]) + " and " + std::to_string(i) + " of mesh " +
                                 (nodeName ? nodeName : "") + " have the same 3D coordinate.";
        ++count;
        if (count <= kDialogLines) {
            message += line.c_str();
            message += "\\n";
        }
        if (log) *log += line.c_str();
    }
    if (count == 0 || !ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportShowUI)) return;
    message += "\\n\\n";
    message += "The import [Add to new scene] process will most likely produce erroneous results.";
    message += "\\n";
    ZeqTuloConfirmDialog dialog;
    dialog.Title("ZEQ Export Warning");
    dialog.Message(message);
    dialog.Button(0, "Ok");
    dialog.Pop();
}

}  // namespace

void ZeqTuloExport::SplitMeshOnNormalPerPolyVertex(ZeqTuloNode* node) {
    // The node first, then its children in order, on a stack of its own: chains may be deep.
    std::vector<KZeqNode*> pending;
    if (node) pending.push_back(node);
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        KZeqMesh* mesh = current->GetMesh();
        if (mesh && mesh->GetNormalsMappingType() == KZeqMesh::eBY_POLYGON_VERTEX) {
            ReportSharedPositions(*mesh, current->GetName(), mLog.get());
            KZeqMesh::KSplitList split(16);
            mesh->BuildSplitList(split, KZeqMesh::eNORMALS);
            mesh->SplitPointsForHardEdge(split);
            for (int i = 0; i < split.GetCount(); ++i) delete split[i];
            split.Clear();
        }
        for (int i = current->GetChildCount(false) - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
}
